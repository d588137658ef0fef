#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <memory>

class DragOutData;
class QDrag;
class QThreadPool;
class ScreenshotManager;
class TemporaryFiles;

/**
 * Drags a capture out of the stack into other programs as a PNG file. OverlayView calls
 * start() when a thumbnail is dragged; the drag's data is produced lazily by DragOutData.
 * Made by AppDelegate with the program's private temporary folder.
 */
class DragOut : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by AppDelegate")

public:
    DragOut(ScreenshotManager *manager, std::shared_ptr<const TemporaryFiles> files,
            QThreadPool *pool = nullptr, QObject *parent = nullptr);

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
    QThreadPool *m_pool;
};
