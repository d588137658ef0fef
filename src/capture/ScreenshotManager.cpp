#include "ScreenshotManager.h"

#include "capture/Thumbnail.h"
#include "platform/Log.h"
#include "platform/ScreenCapture.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

ScreenshotManager::ScreenshotManager(std::unique_ptr<ScreenCapture> capture,
                                     ScreenScale screenScale, QObject *parent,
                                     std::shared_ptr<const PixelCodec> codec)
    : QObject(parent), m_capture(std::move(capture)), m_screenScale(std::move(screenScale)),
      m_store(std::move(codec))
{
    m_worker.setMaxThreadCount(1);
    m_worker.setExpiryTimeout(-1);
    m_thumbnailWorker.setMaxThreadCount(1);
    connect(&m_screenshots, &CaptureListModel::countChanged, this,
            &ScreenshotManager::countChanged);
    connect(&m_store, &CaptureStore::compressed, this, &ScreenshotManager::startWaitingCaptures);
    connect(&m_store, &CaptureStore::compressionFailed, this,
            &ScreenshotManager::startWaitingCaptures);
}

ScreenshotManager::~ScreenshotManager()
{
    // Jobs use the backend and post back to this object: let the running ones finish first.
    // Queued ones would only make captures and thumbnails that go with it. A capture waiting
    // on the desktop (a portal may take half a minute) is abandoned: quitting never waits.
    m_worker.clear();
    if (m_capture)
        m_capture->abandon();
    m_thumbnailWorker.clear();
    m_worker.waitForDone();
    m_thumbnailWorker.waitForDone();
}

std::optional<qreal> ScreenshotManager::primaryScreenScale()
{
    if (QScreen *screen = QGuiApplication::primaryScreen())
        return screen->devicePixelRatio();
    return std::nullopt;
}

int ScreenshotManager::captureScale(std::optional<qreal> screenScale)
{
    if (!screenScale)
        return 2;
    const qreal truncated = std::trunc(*screenScale);
    // A ratio below 1 (or nonsense) would give an empty capture.
    if (!(truncated >= 1.0))
        return 1;
    return truncated > 64.0 ? 64 : int(truncated);
}

void ScreenshotManager::takeScreenshot()
{
    if (!m_capture->requestAccess()) {
        Log::line(QStringLiteral("Screen Recording permission denied or pending."));
        Q_EMIT captureFailed(QStringLiteral("Screen Recording permission denied or pending."));
        return;
    }
    ++m_waitingRequests;
    startWaitingCaptures();
}

void ScreenshotManager::startWaitingCaptures()
{
    if (m_waitingRequests > 0 && hasRoomForCapture()) {
        --m_waitingRequests;
        startCapture();
    }
}

bool ScreenshotManager::hasRoomForCapture() const
{
    // One capture at a time (the worker runs them one by one anyway), and the next one only
    // while the pixels awaiting compression, with one more capture's worth, fit the limit; a
    // capture larger than the limit alone still goes when nothing waits.
    if (m_capturing)
        return false;
    const qint64 awaiting = m_store.usage().awaitingBytes;
    return awaiting == 0 || awaiting + m_lastCaptureBytes <= m_backlogLimit;
}

void ScreenshotManager::captureEnded()
{
    m_capturing = false;
    startWaitingCaptures();
}

void ScreenshotManager::startCapture()
{
    m_capturing = true;
    const std::optional<qreal> ratio = m_screenScale();
    const int scale = captureScale(ratio);
    const qreal pointsPerPixel = (ratio && *ratio > 0) ? 1.0 / *ratio : 1.0;
    const quint64 captureId = m_nextCaptureId++;
    ScreenCapture *backend = m_capture.get();

    m_worker.start([this, backend, scale, pointsPerPixel, captureId] {
        const auto fail = [this](const QString &message) {
            QMetaObject::invokeMethod(
                this,
                [this, message] {
                    Log::line(QStringLiteral("Failed to capture screen: ") + message);
                    Q_EMIT captureFailed(message);
                    captureEnded();
                },
                Qt::QueuedConnection);
        };

        const auto displays = backend->displays();
        if (!displays.ok())
            return fail(displays.error());
        if (displays.value().isEmpty()) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    Q_EMIT captureFailed(QString());
                    captureEnded();
                },
                Qt::QueuedConnection);
            return;
        }
        const CaptureDisplay display = displays.value().first();
        const QSize points(qMax(1, qRound(display.nativeGeometry.width() * pointsPerPixel)),
                           qMax(1, qRound(display.nativeGeometry.height() * pointsPerPixel)));
        auto image = backend->capture(display, points * scale);
        if (!image.ok())
            return fail(image.error());
        QImage captured = std::move(image.value());
        // A backend may hand over the screen's real pixels instead (a portal's picture of an
        // output the program sees through XWayland at scale 1): their ratio is their own.
        captured.setDevicePixelRatio(captured.size() == points * scale
                                         ? qreal(scale)
                                         : qreal(captured.width()) / points.width());

        QMetaObject::invokeMethod(
            this, [this, captureId, captured] { insertCapture(captureId, captured); },
            Qt::QueuedConnection);
    });
}

void ScreenshotManager::insertCapture(quint64 captureId, const QImage &image)
{
    m_store.insert(captureId, image);
    m_screenshots.prepend(captureId, image);
    setVisible(true);
    makeThumbnail(captureId, 0, image);
    m_lastCaptureBytes = image.sizeInBytes();
    Q_EMIT captureFinished(captureId);
    captureEnded();
}

void ScreenshotManager::makeThumbnail(quint64 captureId, int revision, const QImage &image)
{
    const std::optional<qreal> ratio = m_screenScale();
    const qreal thumbnailRatio = (ratio && *ratio >= 1.0) ? *ratio : 1.0;
    m_thumbnailWorker.start([this, captureId, revision, image, thumbnailRatio] {
        const QImage thumbnail = Thumbnail::make(image, ThumbnailWidth, thumbnailRatio);
        QMetaObject::invokeMethod(
            this,
            [this, captureId, revision, thumbnail] {
                m_screenshots.setThumbnail(captureId, revision, thumbnail);
                // Only now, so the stack shows the capture before its pixels are compressed.
                if (m_screenshots.revisionAt(m_screenshots.indexOf(captureId)) == revision)
                    m_store.compress(captureId);
            },
            Qt::QueuedConnection);
    });
}

void ScreenshotManager::toggleVisibility()
{
    setVisible(!m_isVisible);
}

void ScreenshotManager::setVisible(bool visible)
{
    if (m_isVisible == visible)
        return;
    m_isVisible = visible;
    Q_EMIT isVisibleChanged();
}

void ScreenshotManager::replace(int index, const QImage &image)
{
    if (index < 0 || index >= count())
        return;
    m_store.insert(m_screenshots.idAt(index), image);
    m_screenshots.replace(index, image);
    makeThumbnail(m_screenshots.idAt(index), m_screenshots.revisionAt(index), image);
}

bool ScreenshotManager::replaceCapture(quint64 captureId, const QImage &image)
{
    const int index = indexOfCapture(captureId);
    if (index < 0)
        return false;
    replace(index, image);
    return true;
}

void ScreenshotManager::requestPreview(int index)
{
    if (index < 0 || index >= count())
        return;
    Q_EMIT previewRequested(index);
}

void ScreenshotManager::requestContextMenu(int index)
{
    if (index < 0 || index >= count())
        return;
    Q_EMIT contextMenuRequested(captureIdAt(index));
}

void ScreenshotManager::remove(int index)
{
    if (index >= 0 && index < count())
        removeCapture(captureIdAt(index));
}

bool ScreenshotManager::removeCapture(quint64 captureId)
{
    if (!m_screenshots.remove(captureId))
        return false;
    m_store.remove(captureId);
    Q_EMIT captureRemoved(captureId);
    // Its pixels may have been what held the next capture back.
    startWaitingCaptures();
    return true;
}

void ScreenshotManager::removeAll()
{
    QList<quint64> ids;
    for (int i = 0; i < count(); ++i)
        ids.append(captureIdAt(i));
    if (ids.isEmpty())
        return;
    m_screenshots.clear();
    for (const quint64 id : ids) {
        m_store.remove(id);
        Q_EMIT captureRemoved(id);
    }
    startWaitingCaptures();
}
