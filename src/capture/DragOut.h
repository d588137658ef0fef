#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <chrono>
#include <memory>

class DragOutData;
class QDrag;
class QThreadPool;
class ScreenshotManager;
class TemporaryFiles;

/**
 * Drags a capture out of the stack into other programs as a PNG file. OverlayView calls
 * start() when a thumbnail is dragged; the drag's data is produced lazily by DragOutData.
 * The encoding runs on a thread pool of this object's own unless one is given, so that it
 * never queues behind the editor's image decoding on Qt's global pool while a receiver
 * waits. Made by AppDelegate with the program's private temporary folder.
 */
class DragOut : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by AppDelegate")

public:
    /// Without `pool`, the encoding runs on a pool made for it.
    DragOut(ScreenshotManager *manager, std::shared_ptr<const TemporaryFiles> files,
            QThreadPool *pool = nullptr, QObject *parent = nullptr);
    ~DragOut() override;

    /// How long a receiver's request may hold up the UI thread (see DragOutData).
    void setWaitLimit(std::chrono::milliseconds limit) { m_waitLimit = limit; }

    /// The data for dragging the capture at `index`, its PNG already being made in the
    /// background; null when `index` is not in the list (any more).
    std::unique_ptr<DragOutData> prepare(int index) const;

    /// Everything a drag of the capture at `index` needs before it runs: its data (see
    /// prepare()) and its icon. Owned by this object until exec() hands it to the platform;
    /// null when `index` is not in the list.
    QDrag *makeDrag(int index);

public Q_SLOTS:
    /// Starts a drag of the capture at `index`; an index outside the list is ignored.
    void start(int index);

private:
    ScreenshotManager *m_manager;
    std::shared_ptr<const TemporaryFiles> m_files;
    std::unique_ptr<QThreadPool> m_ownPool;
    QThreadPool *m_pool;
    std::chrono::milliseconds m_waitLimit;
};
