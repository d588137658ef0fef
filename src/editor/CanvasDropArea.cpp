#include "CanvasDropArea.h"

#include "EditorState.h"
#include "ImageIntake.h"

#include <QMimeData>

#include <utility>

CanvasDropArea::CanvasDropArea(QQuickItem *parent) : EditorCanvasItem(parent)
{
    setFlag(ItemAcceptsDrops, true);
}

bool CanvasDropArea::takesDrops() const
{
    return editor() && !editor()->isFinished();
}

QList<ImageIntake::Source> CanvasDropArea::readableSources(const QMimeData &mime)
{
    QList<ImageIntake::Source> readable;
    for (const ImageIntake::Source &source : ImageIntake::sourcesOf(mime)) {
        if (ImageIntake::looksReadable(source))
            readable.append(source);
    }
    return readable;
}

void CanvasDropArea::dragEnterEvent(QDragEnterEvent *event)
{
    // Decided once per drag, when it enters: the data is fetched from its owner once, not
    // on every move. A drag from within the program (a stack thumbnail) is taken on its
    // formats alone, as fetching them would wait for the PNG being encoded.
    m_enteredSources.clear();
    m_dragAcceptable =
        takesDrops() && event->mimeData() && ImageIntake::mayHoldImage(*event->mimeData());
    if (m_dragAcceptable && !event->source()) {
        m_enteredSources = readableSources(*event->mimeData());
        m_dragAcceptable = !m_enteredSources.isEmpty();
    }
    dragMoveEvent(event);
}

bool CanvasDropArea::acceptAsCopy(QDropEvent *event)
{
    // Never a move, whatever the source proposes: a file manager that honours a move
    // deletes the user's original once the drop is done.
    if (!(event->possibleActions() & Qt::CopyAction))
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void CanvasDropArea::dragMoveEvent(QDragMoveEvent *event)
{
    // What the source is told while the pointer moves is also what it hears at the drop.
    if (!m_dragAcceptable || !takesDrops() || !acceptAsCopy(event))
        refuse(event);
}

void CanvasDropArea::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dragAcceptable = false;
    m_enteredSources.clear();
}

void CanvasDropArea::refuse(QDropEvent *event)
{
    // An ignored drop still carries the proposed action, which is what an X11 source hears.
    event->setDropAction(Qt::IgnoreAction);
    event->ignore();
}

void CanvasDropArea::dropEvent(QDropEvent *event)
{
    if (!takesDrops() || !event->mimeData()) {
        refuse(event);
        return;
    }
    // What read as an image when the drag entered is a copy already. Asking another program
    // for it again at the drop can come back empty on X11 (its answer is tied to the time of
    // the request), and an X11 source has been told "accepted" since the drag entered.
    m_dragAcceptable = false;
    QList<ImageIntake::Source> readable = std::exchange(m_enteredSources, {});
    if (readable.isEmpty())
        readable = readableSources(*event->mimeData());
    if (readable.isEmpty() || !acceptAsCopy(event)) {
        refuse(event);
        return;
    }
    editor()->dropImage(readable, event->position());
}
