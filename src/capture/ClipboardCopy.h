#pragma once

#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QtQml/qqmlregistration.h>

#include <chrono>
#include <memory>

class Clipboard;
class DragOutData;
class QImage;
class ScreenshotManager;
class TemporaryFiles;

/**
 * Puts a capture, or a picture the editor rendered, on the desktop's clipboard as a
 * DragOutData: `image/png` encoded once, off the UI thread, when a program first asks for
 * it, and `text/uri-list` of a PNG file in the program's private folder for file managers.
 * The offer needs nothing of the stack or the editor, so it outlives both; it lasts until
 * something else is copied, or this object goes (the program quits), which takes it back.
 * Made by AppDelegate; the stack's menu, the editor and D-Bus use it.
 */
class ClipboardCopy : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by AppDelegate")

public:
    ClipboardCopy(ScreenshotManager *manager, Clipboard *clipboard,
                  std::shared_ptr<const TemporaryFiles> files, QObject *parent = nullptr);
    ~ClipboardCopy() override;

    /// How long a program's request may hold up the UI thread (see DragOutData).
    void setWaitLimit(std::chrono::milliseconds limit) { m_waitLimit = limit; }

    /// Offers the capture with this id; false, with one line, when it is not on the stack.
    bool copyCapture(quint64 captureId);
    /// Offers the newest capture; false, with one line, when the stack is empty.
    bool copyLatest();
    /// Offers `image` (a rendered edit); false, with one line, for a null image.
    bool copyImage(const QImage &image);

    /// What this object put on the clipboard last, while the clipboard still holds it.
    const DragOutData *offered() const;

private:
    void offer(DragOutData *data);

    ScreenshotManager *m_manager;
    Clipboard *m_clipboard;
    std::shared_ptr<const TemporaryFiles> m_files;
    std::chrono::milliseconds m_waitLimit;
    QPointer<DragOutData> m_offered;
    // Its own threads: a program waiting for the PNG never queues behind other work.
    QThreadPool m_pool;
};
