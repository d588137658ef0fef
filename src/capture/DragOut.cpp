#include "DragOut.h"

#include "capture/DragOutData.h"
#include "capture/ScreenshotManager.h"
#include "platform/TemporaryFiles.h"

#include <QDrag>
#include <QPixmap>
#include <QThreadPool>

DragOut::DragOut(ScreenshotManager *manager, std::shared_ptr<const TemporaryFiles> files,
                 QThreadPool *pool, QObject *parent)
    : QObject(parent), m_manager(manager), m_files(std::move(files)),
      m_ownPool(pool ? nullptr : std::make_unique<QThreadPool>()),
      m_pool(pool ? pool : m_ownPool.get()), m_waitLimit(DragOutData::defaultWaitLimit)
{}

// The pool waits for its jobs as it goes; they hold only what they share with their data.
DragOut::~DragOut() = default;

std::unique_ptr<DragOutData> DragOut::prepare(int index) const
{
    if (index < 0 || index >= m_manager->count())
        return nullptr;
    return std::make_unique<DragOutData>(m_manager->store()->source(m_manager->captureIdAt(index)),
                                         m_files, m_pool, m_waitLimit);
}

QDrag *DragOut::makeDrag(int index)
{
    std::unique_ptr<DragOutData> data = prepare(index);
    if (!data)
        return nullptr;

    auto *drag = new QDrag(this);
    drag->setMimeData(data.release());
    const QImage thumbnail = m_manager->screenshots()
                                 ->index(index)
                                 .data(CaptureListModel::ThumbnailRole)
                                 .value<QImage>();
    if (!thumbnail.isNull()) {
        // The thumbnail as the stack shows it follows the pointer.
        const QPixmap icon = QPixmap::fromImage(thumbnail);
        drag->setPixmap(icon);
        const QSizeF size = icon.deviceIndependentSize();
        drag->setHotSpot(QPoint(qRound(size.width() / 2), qRound(size.height() / 2)));
    }
    return drag;
}

void DragOut::start(int index)
{
    QDrag *drag = makeDrag(index);
    if (!drag)
        return;
    // exec() runs its own event loop until the drop; entering it from the next turn of the
    // main loop lets the pointer handler that asked for the drag finish its event first.
    // The platform deletes the drag once the receiver is done with the data, which may be
    // after exec() returns.
    QMetaObject::invokeMethod(
        this, [drag] { drag->exec(Qt::CopyAction); }, Qt::QueuedConnection);
}
