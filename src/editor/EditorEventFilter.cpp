#include "EditorEventFilter.h"

#include "EditorState.h"
#include "platform/Preferences.h"
#include "shortcuts/ShortcutMatcher.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStyleHints>
#include <QWheelEvent>
#include <QWindow>

#include <cmath>

namespace {

DrawingTool toolOf(ShortcutTool tool)
{
    switch (tool) {
    case Preferences::Pointer:
        return DrawingTool::Pointer;
    case Preferences::Text:
        return DrawingTool::Text;
    case Preferences::Pen:
        return DrawingTool::Pen;
    case Preferences::Rectangle:
        return DrawingTool::Rectangle;
    case Preferences::Line:
        return DrawingTool::Line;
    case Preferences::Arrow:
        return DrawingTool::Arrow;
    case Preferences::Ellipse:
        return DrawingTool::Ellipse;
    case Preferences::Highlighter:
        return DrawingTool::Highlighter;
    case Preferences::Step:
        return DrawingTool::Step;
    case Preferences::Redact:
        return DrawingTool::Redact;
    case Preferences::Crop:
        return DrawingTool::Crop;
    }
    return DrawingTool::Pen;
}

// A popup of the window (a list opened from a combo box) owns the keyboard while it is open:
// its letters and its Escape are its own.
bool focusIsInPopup(QWindow *window)
{
    const auto *quickWindow = qobject_cast<QQuickWindow *>(window);
    for (const QQuickItem *item = quickWindow ? quickWindow->activeFocusItem() : nullptr; item;
         item = item->parentItem()) {
        if (item->inherits("QQuickPopupItem"))
            return true;
    }
    return false;
}

bool focusIsTextField(QWindow *window)
{
    const auto *quickWindow = qobject_cast<QQuickWindow *>(window);
    return ShortcutKeyPress::isTextField(quickWindow ? quickWindow->activeFocusItem() : nullptr);
}

enum class EditKey { None, Undo, Redo, Delete };

// Ctrl+Z undoes; Ctrl+Shift+Z and Ctrl+Y redo; Delete and Backspace remove the selection.
EditKey editKeyOf(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (event.key() == Qt::Key_Z && modifiers == Qt::ControlModifier)
        return EditKey::Undo;
    if ((event.key() == Qt::Key_Z && modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) ||
        (event.key() == Qt::Key_Y && modifiers == Qt::ControlModifier))
        return EditKey::Redo;
    if ((event.key() == Qt::Key_Delete || event.key() == Qt::Key_Backspace) &&
        modifiers == Qt::NoModifier)
        return EditKey::Delete;
    return EditKey::None;
}

} // namespace

EditorEventFilter::EditorEventFilter(EditorState *editor, QWindow *window, QObject *parent)
    : QObject(parent), m_editor(editor), m_window(window)
{
    qApp->installEventFilter(this);
    if (editor)
        connect(editor, &EditorState::keyFocusReleaseRequested, this,
                &EditorEventFilter::releaseKeyFocus);
}

EditorEventFilter::~EditorEventFilter()
{
    qApp->removeEventFilter(this);
}

bool EditorEventFilter::eventFilter(QObject *watched, QEvent *event)
{
    // Events reach the window first and are then handed to its items, passing this filter
    // each time: acting only where the receiver is the window acts once per event, and never
    // for another window (the settings window's key fields, a scroll over the stack).
    if (!m_editor || !m_window || watched != m_window)
        return false;
    if (event->type() == QEvent::KeyPress)
        return keyPressed(static_cast<QKeyEvent *>(event));
    if (event->type() == QEvent::Wheel)
        return wheelTurned(static_cast<QWheelEvent *>(event));
    return false;
}

bool EditorEventFilter::keyPressed(QKeyEvent *event)
{
    if (focusIsInPopup(m_window))
        return false;
    // Ctrl+V pastes into a text field that is being edited, else it pastes an image.
    if (event->matches(QKeySequence::Paste) && !focusIsTextField(m_window)) {
        m_editor->pasteImage();
        return true;
    }
    // Likewise Ctrl+C copies a text field's selection while one is edited, else the picture.
    if (event->matches(QKeySequence::Copy) && !focusIsTextField(m_window)) {
        m_editor->copyRenderedImage();
        return true;
    }
    // A text field being typed into keeps its own undo and its own Backspace.
    if (const EditKey key = editKeyOf(*event);
        key != EditKey::None && !focusIsTextField(m_window)) {
        if (key == EditKey::Undo)
            m_editor->undo();
        else if (key == EditKey::Redo)
            m_editor->redo();
        else
            m_editor->deleteSelected();
        return true;
    }
    // Saving to a file leaves the editor open (unlike "Save Edits"). Spelled out: not every
    // desktop's key scheme binds Save As. As with Ctrl+C, a text field being typed into
    // keeps its keys.
    const Qt::KeyboardModifiers held = event->modifiers() & ~Qt::KeypadModifier;
    const bool save = event->key() == Qt::Key_S && !focusIsTextField(m_window);
    if (save && held == (Qt::ControlModifier | Qt::ShiftModifier)) {
        m_editor->saveRenderedImageAs();
        return true;
    }
    if (save && held == Qt::ControlModifier) {
        m_editor->saveRenderedImageToFile();
        return true;
    }
    if (const Preferences *preferences = m_editor->preferences()) {
        const ShortcutValues keys = ShortcutMatcher::valuesOf(*preferences);
        if (const auto tool =
                ShortcutMatcher::match(ShortcutKeyPress::fromEvent(*event, m_window), keys)) {
            m_editor->tools()->setCurrentTool(toolOf(*tool));
            return true;
        }
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Escape && modifiers == Qt::NoModifier) {
        m_editor->handleEscape(focusIsTextField(m_window));
        return true;
    }
    return false;
}

bool EditorEventFilter::wheelTurned(QWheelEvent *event)
{
    if (m_window != QGuiApplication::focusWindow())
        return false;
    if (event->modifiers() & Qt::ControlModifier) {
        const double factor = wheelZoomFactor(*event);
        if (factor != 1)
            m_editor->viewport()->pinchStep(factor);
        return true;
    }
    const double pointsPerNotch = 20.0 * QGuiApplication::styleHints()->wheelScrollLines();
    m_editor->viewport()->wheelPan(wheelPanDelta(*event, pointsPerNotch));
    return false;
}

QSizeF EditorEventFilter::wheelPanDelta(const QWheelEvent &event, double pointsPerNotch)
{
    QPointF delta;
    if (!event.pixelDelta().isNull())
        delta = event.pixelDelta();
    else
        delta = QPointF(event.angleDelta()) / 120.0 * pointsPerNotch;
    // A mouse has one wheel: with Shift it scrolls sideways, as elsewhere on the desktop.
    if ((event.modifiers() & Qt::ShiftModifier) && delta.x() == 0)
        delta = QPointF(delta.y(), 0);
    return {delta.x(), delta.y()};
}

double EditorEventFilter::wheelZoomFactor(const QWheelEvent &event)
{
    const QPoint angle = event.angleDelta();
    const int notches = angle.y() != 0 ? angle.y() : angle.x();
    return std::pow(CanvasViewport::zoomPerNotch, notches / 120.0);
}

void EditorEventFilter::releaseKeyFocus()
{
    auto *window = qobject_cast<QQuickWindow *>(m_window);
    if (!window)
        return;
    // Focus scopes hand active focus back to their focused child, so every scope on the way
    // up lets go as well; the window itself is left holding the keyboard.
    for (QQuickItem *item = window->activeFocusItem(); item && item != window->contentItem();
         item = item->parentItem()) {
        if (item->hasFocus())
            item->setFocus(false);
    }
}
