#pragma once

#include <QObject>
#include <QPointer>

class EditorState;
class QKeyEvent;
class QWheelEvent;
class QWindow;

/**
 * The editor's application-wide watch on key presses and wheel turns, for the editor's own
 * window only, and the one that moves that window's keyboard focus for the editor. A tool
 * key (matched by ShortcutMatcher against the preferences' keys) selects its tool and is
 * swallowed; Escape runs the editor's handleEscape; a plain wheel turn pans and
 * goes on; Ctrl+wheel zooms like a pinch; Ctrl+V pastes an image and Ctrl+C copies the rendered
 * picture unless a text field has the keyboard, and so do Ctrl+Z (undo), Ctrl+Shift+Z and Ctrl+Y
 * (redo), Delete and Backspace (remove the selected record). Each event is seen where it enters the
 * window, never again as it is handed to the items inside. Installed while the canvas is shown, by
 * CanvasInputLayer; removing it (destroying it) ends the watch.
 */
class EditorEventFilter : public QObject
{
    Q_OBJECT

public:
    EditorEventFilter(EditorState *editor, QWindow *window, QObject *parent = nullptr);
    ~EditorEventFilter() override;

    /// The pan of a wheel turn: pixel deltas as they are, else 15 degrees (a notch) for
    /// `pointsPerNotch`; Shift turns a vertical turn sideways.
    static QSizeF wheelPanDelta(const QWheelEvent &event, double pointsPerNotch);
    /// The zoom factor of a Ctrl+wheel turn: zoomPerNotch per notch, up for away from the user.
    static double wheelZoomFactor(const QWheelEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPressed(QKeyEvent *event);
    bool wheelTurned(QWheelEvent *event);
    /// The focused item and every focus scope above it let go; the window keeps the keyboard.
    void releaseKeyFocus();

    QPointer<EditorState> m_editor;
    QPointer<QWindow> m_window;
};
