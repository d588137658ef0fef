#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>

class CaptureStore;
class Clipboard;
class SavedEdits;
class CaptureSaver;
class ClipboardCopy;
class TextCopy;
class FileChooser;
class ScreenshotManager;

/**
 * What an open editor window works on: its capture, held by the capture's id so newer
 * captures pushing it down the stack never swap the picture under the editor, and the way
 * to close its own window. A compressed capture's pixels arrive a moment after the window
 * opens (`imageChanged`); one that cannot be decoded closes the window again. The image is
 * the capture's original; its saved edits and its draft come with it. Made by AppDelegate
 * for each editor window.
 */
class EditorSession : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by AppDelegate")
    Q_PROPERTY(QImage image READ image NOTIFY imageChanged)
    Q_PROPERTY(int captureIndex READ captureIndex NOTIFY captureIndexChanged)

public:
    EditorSession(ScreenshotManager *manager, int index, QObject *parent = nullptr);

    /// What `close()` does: set by whoever made the window.
    void setOnClose(std::function<void()> onClose) { m_onClose = std::move(onClose); }

    /// Where pasted and inserted images come from; either may be absent (nothing happens).
    /// Both outlive the session.
    void setImageSources(Clipboard *clipboard, FileChooser *fileChooser)
    {
        m_clipboard = clipboard;
        m_fileChooser = fileChooser;
    }
    Clipboard *clipboard() const { return m_clipboard; }
    /// The editor's window: the file chooser's parent, hidden when the edits are saved.
    /// Its hiding, however it comes (Escape, its close button, another editor), is the
    /// session's `closing`.
    void setWindow(QWindow *window);
    QWindow *window() const { return m_window; }
    FileChooser *fileChooser() const { return m_fileChooser; }
    /// Where "Copy" puts the rendered picture; absent, copying does nothing. Outlives the
    /// session.
    void setClipboardCopy(ClipboardCopy *copy) { m_clipboardCopy = copy; }
    ClipboardCopy *clipboardCopy() const { return m_clipboardCopy; }
    /// Where Ctrl+S and Ctrl+Shift+S save the rendered picture; absent, they do nothing.
    /// Outlives the session.
    void setCaptureSaver(CaptureSaver *saver) { m_captureSaver = saver; }
    CaptureSaver *captureSaver() const { return m_captureSaver; }
    /// What "Copy Text" reads the rendered picture with; absent, it does nothing. Outlives
    /// the session.
    void setTextCopy(TextCopy *copy) { m_textCopy = copy; }
    TextCopy *textCopy() const { return m_textCopy; }

    quint64 captureId() const { return m_captureId; }
    /// Where the capture is in the stack now; -1 if it is not there.
    int captureIndex() const;
    /// The capture's original picture, without its edits.
    QImage image() const { return m_image; }
    CaptureStore *store() const;

    /// The capture's saved edits, null when it has none (or is gone).
    std::shared_ptr<const SavedEdits> savedEdits() const;
    /// The edits an earlier editor of the capture left unsaved, null when there are none.
    std::shared_ptr<const SavedEdits> draft() const;
    /// Makes `edits` the capture's saved edits (null: none, the original again), dropping
    /// its draft; false if the capture is gone.
    bool saveEdits(std::shared_ptr<const SavedEdits> edits);
    /// Keeps `draft` as the capture's unsaved edits (null: drops them).
    void keepDraft(std::shared_ptr<const SavedEdits> draft);

public Q_SLOTS:
    void close();
    /// The edits are in the stack: the window goes at once and is closed on the next turn.
    void finish();

Q_SIGNALS:
    void imageChanged();
    void captureIndexChanged();
    /// The editor is closing, once, for whatever reason: the last moment to keep a draft.
    void closing();

private:
    void refresh();
    void announceClosing();

    ScreenshotManager *m_manager;
    quint64 m_captureId;
    int m_revision = -1; // of the capture's pixels asked for last
    QImage m_image;
    std::function<void()> m_onClose;
    Clipboard *m_clipboard = nullptr;
    FileChooser *m_fileChooser = nullptr;
    ClipboardCopy *m_clipboardCopy = nullptr;
    CaptureSaver *m_captureSaver = nullptr;
    TextCopy *m_textCopy = nullptr;
    QPointer<QWindow> m_window;
    bool m_closing = false;
};
