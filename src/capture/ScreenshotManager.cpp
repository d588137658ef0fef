#include "ScreenshotManager.h"

#include "capture/Thumbnail.h"
#include "platform/Log.h"
#include "platform/ScreenCapture.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cmath>

ScreenshotManager::ScreenshotManager(std::unique_ptr<ScreenCapture> capture,
                                     ScreenScale screenScale, QObject *parent,
                                     std::shared_ptr<const PixelCodec> codec)
    : QObject(parent), m_capture(std::move(capture)), m_screenScale(std::move(screenScale)),
      m_store(std::move(codec))
{
    m_pointer = [] { return QCursor::pos(); };
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
    m_waiting.append(CaptureRequest::ofScreens(CaptureRequest::Screens::Primary));
    startWaitingCaptures();
}

QString ScreenshotManager::refusal(const CaptureRequest &request) const
{
    const QString problem = request.problem();
    if (!problem.isEmpty())
        return problem;
    if (request.kind == CaptureRequest::Kind::Region &&
        !m_desktop().touchesScreens(request.region)) {
        return QStringLiteral("region \"%1\" lies outside every screen")
            .arg(CaptureRequest::regionText(request.region));
    }
    if (request.kind == CaptureRequest::Kind::LastRegion && !m_lastRegion)
        return QStringLiteral("there is no region to repeat yet");
    return QString();
}

QString ScreenshotManager::refuse(const QString &reason)
{
    Log::line(QStringLiteral("Refused the capture: %1.").arg(reason));
    Q_EMIT captureFailed(reason);
    return reason;
}

QString ScreenshotManager::request(const CaptureRequest &request)
{
    const QString reason = refusal(request);
    if (!reason.isEmpty())
        return refuse(reason);
    if (request.delaySeconds > 0) {
        // Checked again when it is due: the screens may have changed meanwhile.
        QTimer::singleShot(request.delaySeconds * 1000, this,
                           [this, now = request.after(0)] { this->request(now); });
        return QString();
    }
    if (request.kind == CaptureRequest::Kind::Screens &&
        request.screens == CaptureRequest::Screens::Primary) {
        takeScreenshot();
        return QString();
    }
    if (!m_capture->requestAccess()) {
        Log::line(QStringLiteral("Screen Recording permission denied or pending."));
        Q_EMIT captureFailed(QStringLiteral("Screen Recording permission denied or pending."));
        return QString();
    }
    if (request.kind == CaptureRequest::Kind::Region)
        m_lastRegion = request.region;
    m_waiting.append(request);
    startWaitingCaptures();
    return QString();
}

void ScreenshotManager::startWaitingCaptures()
{
    if (!m_waiting.isEmpty() && hasRoomForCapture()) {
        const CaptureRequest next = m_waiting.takeFirst();
        if (next.kind == CaptureRequest::Kind::Screens &&
            next.screens == CaptureRequest::Screens::Primary)
            startCapture();
        else
            startAreaCapture(next);
    }
}

void ScreenshotManager::startAreaCapture(const CaptureRequest &request)
{
    using Kind = CaptureRequest::Kind;
    m_capturing = true;
    const DesktopGeometry desktop = m_desktop();
    const QPoint pointer = m_pointer();
    QRect area;
    switch (request.kind) {
    case Kind::Screens:
        if (request.screens == CaptureRequest::Screens::All)
            area = desktop.bounds();
        else if (const int screen = desktop.screenAt(pointer); screen >= 0)
            area = desktop.screens()[screen].geometry;
        break;
    case Kind::Region:
        area = request.region;
        break;
    case Kind::LastRegion:
        area = m_lastRegion.value_or(QRect());
        break;
    case Kind::SelectRegion:
        area = desktop.bounds();
        break;
    case Kind::Window:
        break; // asked of the backend below, off this thread
    }
    const quint64 captureId = m_nextCaptureId++;
    ScreenCapture *backend = m_capture.get();
    const Kind kind = request.kind;

    m_worker.start([this, backend, desktop, pointer, area, kind, captureId] {
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

        QRect wanted = area;
        if (kind == Kind::Window) {
            const auto window = backend->windowUnderPointer();
            if (!window.ok()) {
                // The desktop hides its windows: its own chooser picks one instead.
                auto chosen = backend->captureChosenWindow();
                if (!chosen.ok())
                    return fail(chosen.error());
                const QImage captured = std::move(chosen.value());
                QMetaObject::invokeMethod(
                    this, [this, captureId, captured] { insertCapture(captureId, captured); },
                    Qt::QueuedConnection);
                return;
            }
            if (window.value().isEmpty()) {
                // Over the desktop itself: the whole screen of the pointer.
                const int screen = desktop.screenAt(pointer);
                wanted = screen >= 0 ? desktop.screens()[screen].geometry : QRect();
            } else {
                // What is visible of it: the part on the screens.
                wanted = desktop.fromDevice(window.value()) & desktop.bounds();
            }
        }
        const QList<DesktopGeometry::Piece> pieces = desktop.pieces(wanted);
        if (pieces.isEmpty())
            return fail(QStringLiteral("%1 lies outside every screen")
                            .arg(kind == Kind::Window ? QStringLiteral("the window")
                                                      : QStringLiteral("the area")));
        QList<QRect> rects;
        for (const DesktopGeometry::Piece &piece : pieces)
            rects.append(piece.device);
        auto images = backend->captureAreas(rects);
        if (!images.ok())
            return fail(images.error());
        if (images.value().size() != pieces.size())
            return fail(QStringLiteral("the capture service lost a part of the desktop"));
        DesktopPicture picture;
        for (qsizetype i = 0; i < pieces.size(); ++i)
            picture.parts.append({pieces[i].logical, images.value()[i]});

        if (kind == Kind::SelectRegion) {
            QList<QRect> windows;
            for (const QRect &window : backend->visibleWindows()) {
                const QRect logical = desktop.fromDevice(window);
                if (!logical.isEmpty())
                    windows.append(logical);
            }
            QMetaObject::invokeMethod(
                this,
                [this, picture, windows] {
                    Q_EMIT regionSelectionReady(picture, windows);
                    captureEnded();
                },
                Qt::QueuedConnection);
            return;
        }
        const QImage captured = picture.compose(wanted);
        if (captured.isNull())
            return fail(QStringLiteral("not enough memory for the capture"));
        QMetaObject::invokeMethod(
            this, [this, captureId, captured] { insertCapture(captureId, captured); },
            Qt::QueuedConnection);
    });
}

void ScreenshotManager::acceptRegion(const DesktopPicture &picture, const QRect &logical)
{
    const QImage image = picture.compose(logical);
    if (image.isNull()) {
        Log::line(QStringLiteral("Failed to capture screen: the selection lies outside the "
                                 "picture"));
        Q_EMIT captureFailed(QStringLiteral("the selection lies outside the picture"));
        return;
    }
    m_lastRegion = logical;
    addToStack(m_nextCaptureId++, image);
}

void ScreenshotManager::cancelRegion()
{
    Q_EMIT captureFailed(QString());
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
    addToStack(captureId, image);
    captureEnded();
}

void ScreenshotManager::addToStack(quint64 captureId, const QImage &image)
{
    m_store.insert(captureId, image);
    m_screenshots.prepend(captureId, image);
    setVisible(true);
    makeThumbnail(captureId, 0, image);
    m_lastCaptureBytes = image.sizeInBytes();
    Q_EMIT captureFinished(captureId);
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

bool ScreenshotManager::setEdits(quint64 captureId, std::shared_ptr<const CaptureEdits> edits)
{
    if (indexOfCapture(captureId) < 0)
        return false;
    const std::shared_ptr<const CaptureEdits> draft = m_drafts.take(captureId);
    m_store.setEdits(captureId, std::move(edits));
    refreshFlattened(captureId);
    return true;
}

std::shared_ptr<const CaptureEdits> ScreenshotManager::edits(quint64 captureId) const
{
    return m_store.edits(captureId);
}

void ScreenshotManager::setDraft(quint64 captureId, std::shared_ptr<const CaptureEdits> draft)
{
    if (!draft) {
        const std::shared_ptr<const CaptureEdits> dropped = m_drafts.take(captureId);
        return;
    }
    if (indexOfCapture(captureId) >= 0)
        m_drafts.insert(captureId, std::move(draft));
}

std::shared_ptr<const CaptureEdits> ScreenshotManager::draft(quint64 captureId) const
{
    return m_drafts.value(captureId);
}

void ScreenshotManager::refreshFlattened(quint64 captureId)
{
    // The store draws the flattened picture on its worker (and caches it, for the drag-out
    // or the copy likely to follow); newer edits meanwhile are served by the same delivery.
    m_store.load(captureId, this, [this, captureId](const Result<QImage> &flattened) {
        const int index = indexOfCapture(captureId);
        if (!flattened.ok() || index < 0)
            return; // the store has said why, or the capture is gone
        m_screenshots.replace(index, flattened.value());
        makeThumbnail(captureId, m_screenshots.revisionAt(index), flattened.value());
    });
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
    m_drafts.remove(captureId);
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
    m_drafts.clear();
    for (const quint64 id : ids) {
        m_store.remove(id);
        Q_EMIT captureRemoved(id);
    }
    startWaitingCaptures();
}
