#include "DragOutData.h"

#include "capture/PngEncoder.h"
#include "platform/Log.h"
#include "platform/TemporaryFiles.h"

#include <QFile>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>

#include <condition_variable>
#include <mutex>
#include <optional>

namespace {

const QString UriList = QStringLiteral("text/uri-list");
const QString Png = QStringLiteral("image/png");

} // namespace

/// The state the UI thread and the background jobs share; it outlives whichever ends last.
struct DragOutData::Work
{
    std::shared_ptr<const TemporaryFiles> files;
    QString fileName;
    QString failurePrefix;
    Pixels pixels; // until the encoding starts

    void logFailure(const QString &cause) const { Log::line(failurePrefix + cause); }

    std::mutex mutex;
    std::condition_variable changed;
    std::optional<Result<QByteArray>> png;
    bool fileWanted = false;
    bool writing = false;
    std::optional<Result<QString>> file;
    // The UI thread waited in vain: from then on nothing is handed out, written or logged.
    bool abandoned = false;

    /// Runs in the background once the PNG exists and a receiver wants the file.
    static void writeFile(const std::shared_ptr<Work> &work, const QByteArray &png)
    {
        Result<QString> written = work->files->createFile(work->fileName, png);
        {
            std::lock_guard lock(work->mutex);
            if (work->abandoned) {
                // Given up while it was being written: no receiver ever heard of it.
                if (written.ok())
                    QFile::remove(written.value());
                return;
            }
            if (!written.ok())
                work->logFailure(written.error());
            work->file = std::move(written);
        }
        work->changed.notify_all();
    }

    /// Waits on `lock` until `ready`, but no longer than `limit`: past it the drag is given up
    /// for good, with one line saying so. Whether it became ready.
    template <typename Ready>
    bool waitFor(std::unique_lock<std::mutex> &lock, std::chrono::milliseconds limit, Ready ready)
    {
        if (abandoned)
            return false;
        if (changed.wait_for(lock, limit, ready))
            return true;
        abandoned = true;
        logFailure(QStringLiteral("the PNG was not ready within %1 seconds; the receiver gets "
                                  "no data.")
                       .arg(double(limit.count()) / 1000));
        return false;
    }
};

DragOutData::DragOutData(Pixels pixels, std::shared_ptr<const TemporaryFiles> files,
                         QThreadPool *pool, std::chrono::milliseconds waitLimit, Purpose purpose)
    : m_work(std::make_shared<Work>()), m_pool(pool), m_waitLimit(waitLimit)
{
    m_work->files = std::move(files);
    m_work->fileName = newFileName();
    m_work->failurePrefix = purpose == Purpose::Drag ? QStringLiteral("Drag-out failed: ")
                                                     : QStringLiteral("Copy failed: ");
    m_work->pixels = std::move(pixels);
    if (purpose == Purpose::Drag) {
        std::lock_guard lock(m_work->mutex);
        startEncoding();
    }
}

void DragOutData::startEncoding() const
{
    if (!m_work->pixels)
        return; // started before
    // The UI thread only hands over a shared copy of the image or of its compressed pixels.
    // The job holds the shared state: it may end after this object.
    m_pool->start([work = m_work, pixels = std::exchange(m_work->pixels, Pixels())] {
        const Result<QImage> image = pixels();
        Result<QByteArray> encoded = image.ok() ? PngEncoder::encode(image.value())
                                                : Result<QByteArray>::failure(image.error());
        bool write = false;
        {
            std::lock_guard lock(work->mutex);
            if (work->abandoned)
                return;
            if (!image.ok())
                work->logFailure(image.error());
            else if (!encoded.ok())
                work->logFailure(QStringLiteral("cannot encode the capture as PNG: ") +
                                 encoded.error());
            if (work->fileWanted && !encoded.ok())
                work->file = Result<QString>::failure(encoded.error());
            write = work->fileWanted && encoded.ok();
            work->writing = write;
            work->png = std::move(encoded);
        }
        work->changed.notify_all();
        if (write)
            Work::writeFile(work, work->png->value());
    });
}

bool DragOutData::encodingStarted() const
{
    std::lock_guard lock(m_work->mutex);
    return !m_work->pixels;
}

DragOutData::DragOutData(const QImage &image, std::shared_ptr<const TemporaryFiles> files,
                         QThreadPool *pool, std::chrono::milliseconds waitLimit, Purpose purpose)
    : DragOutData([image] { return Result<QImage>(image); }, std::move(files), pool, waitLimit,
                  purpose)
{}

DragOutData::~DragOutData() = default;

QString DragOutData::newFileName()
{
    return QStringLiteral("Screenshot-%1.png")
        .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
}

QStringList DragOutData::formats() const
{
    return {UriList, Png};
}

bool DragOutData::hasFormat(const QString &mimeType) const
{
    return mimeType == UriList || mimeType == Png;
}

QString DragOutData::filePath() const
{
    std::lock_guard lock(m_work->mutex);
    return m_work->file && m_work->file->ok() ? m_work->file->value() : QString();
}

QVariant DragOutData::retrieveData(const QString &mimeType, QMetaType) const
{
    Work &work = *m_work;
    std::unique_lock lock(work.mutex);
    if (mimeType == Png || mimeType == UriList)
        startEncoding();
    if (mimeType == Png) {
        if (!work.waitFor(lock, m_waitLimit, [&] { return work.png.has_value(); }))
            return {};
        return work.png->ok() ? QVariant(work.png->value()) : QVariant();
    }
    if (mimeType != UriList || work.abandoned)
        return {};

    if (!work.fileWanted) {
        work.fileWanted = true;
        if (work.png && !work.png->ok()) {
            work.file = Result<QString>::failure(work.png->error());
        } else if (work.png && !work.writing) {
            // The encoding finished before anyone asked: the write still runs off this thread.
            work.writing = true;
            m_pool->start([shared = m_work] { Work::writeFile(shared, shared->png->value()); });
        }
    }
    if (!work.waitFor(lock, m_waitLimit, [&] { return work.file.has_value(); }))
        return {};
    if (!work.file->ok())
        return {};
    return QUrl::fromLocalFile(work.file->value()).toEncoded() + QByteArrayLiteral("\r\n");
}
