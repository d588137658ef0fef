#include "CanvasDropArea.h"

#include "EditorState.h"
#include "ImageIntake.h"

#include <QMimeData>

CanvasDropArea::CanvasDropArea(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemAcceptsDrops, true);
}

void CanvasDropArea::setEditor(EditorState *editor)
{
    if (m_editor == editor)
        return;
    m_editor = editor;
    Q_EMIT editorChanged();
}

bool CanvasDropArea::takesDrops() const
{
    return m_editor && !m_editor->isFinished();
}

void CanvasDropArea::dragEnterEvent(QDragEnterEvent *event)
{
    // While the pointer moves only the offered formats are looked at: fetching the data
    // from another program on every move would stall the window.
    if (takesDrops() && event->mimeData() && ImageIntake::mayHoldImage(*event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void CanvasDropArea::dragMoveEvent(QDragMoveEvent *event)
{
    if (takesDrops() && event->mimeData() && ImageIntake::mayHoldImage(*event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void CanvasDropArea::dropEvent(QDropEvent *event)
{
    if (!takesDrops() || !event->mimeData()) {
        event->ignore();
        return;
    }
    // The drop's data lives only as long as the drop: copy what reads as an image now, and
    // tell the source "accepted" only if there is some.
    QList<ImageIntake::Source> readable;
    for (const ImageIntake::Source &source : ImageIntake::sourcesOf(*event->mimeData())) {
        if (ImageIntake::looksReadable(source))
            readable.append(source);
    }
    if (readable.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    m_editor->dropImage(readable, event->position());
}
