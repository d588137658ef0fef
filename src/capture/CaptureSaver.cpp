#include "CaptureSaver.h"

#include "capture/PngEncoder.h"
#include "capture/SaveName.h"
#include "capture/ScreenshotManager.h"
#include "platform/AtomicFileWrite.h"
#include "platform/Log.h"
#include "platform/Preferences.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPointer>
#include <QStandardPaths>

namespace {

bool hasWebp()
{
    return QImageWriter::supportedImageFormats().contains("webp");
}

Result<QByteArray> writeWithQt(const QImage &image, const char *format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image))
        return Result<QByteArray>::failure(writer.errorString());
    return bytes;
}

} // namespace

CaptureSaver::CaptureSaver(ScreenshotManager *manager, const Preferences *preferences,
                           QObject *parent)
    : QObject(parent), m_manager(manager), m_preferences(preferences),
      m_clock([] { return QDateTime::currentDateTime(); })
{
    m_worker.setMaxThreadCount(1);
}

// Saves post back to this object: the one running ends first; queued ones are dropped with
// the program (quitting never waits for a burst of them).
CaptureSaver::~CaptureSaver()
{
    m_worker.clear();
    m_worker.waitForDone();
}

Result<CaptureSaver::Target> CaptureSaver::targetFor(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix.isEmpty())
        return Target{Format::Png, QStringLiteral(".png")};
    const QString extension = u'.' + QFileInfo(path).suffix();
    if (suffix == QLatin1String("png"))
        return Target{Format::Png, extension};
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return Target{Format::Jpeg, extension};
    if (suffix == QLatin1String("webp") && hasWebp())
        return Target{Format::Webp, extension};
    return Result<Target>::failure(
        QStringLiteral("cannot save as .%1: use %2")
            .arg(QFileInfo(path).suffix(), hasWebp() ? QStringLiteral(".png, .jpg, .jpeg or .webp")
                                                     : QStringLiteral(".png, .jpg or .jpeg")));
}

Result<QByteArray> CaptureSaver::encode(const QImage &image, Format format)
{
    switch (format) {
    case Format::Png:
        return PngEncoder::encode(image);
    case Format::Jpeg: {
        // JPEG has no transparency: what is see-through shows on white, as in a viewer.
        QImage opaque(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
        painter.end();
        return writeWithQt(opaque, "jpeg", JpegQuality);
    }
    case Format::Webp:
        return writeWithQt(image, "webp", JpegQuality);
    }
    return Result<QByteArray>::failure(QStringLiteral("unknown format"));
}

void CaptureSaver::saveCapture(quint64 captureId, const QString &path, QObject *context, Done done)
{
    if (m_manager->indexOfCapture(captureId) < 0) {
        finish(Result<QString>::failure(QStringLiteral("the capture is no longer on the stack")),
               context, done, context != nullptr);
        return;
    }
    save(m_manager->store()->source(captureId), path, context, std::move(done));
}

void CaptureSaver::saveLatest(const QString &path, QObject *context, Done done)
{
    if (m_manager->count() == 0) {
        Log::line(QStringLiteral("Nothing to save: the stack is empty."));
        if (done)
            done(Result<QString>::failure(QStringLiteral("Nothing to save: the stack is empty.")));
        return;
    }
    saveCapture(m_manager->captureIdAt(0), path, context, std::move(done));
}

void CaptureSaver::saveImage(const QImage &image, const QString &path, QObject *context, Done done)
{
    save([image] { return Result<QImage>(image); }, path, context, std::move(done));
}

void CaptureSaver::save(Pixels pixels, const QString &path, QObject *context, Done done)
{
    const bool named = !path.isEmpty();
    const Result<Target> target = targetFor(named ? path : QStringLiteral("a.png"));
    if (!target.ok()) {
        finish(Result<QString>::failure(target.error()), context, done, context != nullptr);
        return;
    }
    // Everything the job needs, copied now: the preferences belong to the UI thread.
    const QString folder = named ? QFileInfo(path).absolutePath() : m_preferences->saveFolder();
    const QString pattern = m_preferences->namePattern();
    const QDateTime when = m_clock();
    const QString file =
        named ? (QFileInfo(path).suffix().isEmpty() ? path + target.value().extension : path)
              : QString();
    const bool guarded = context != nullptr;
    m_worker.start([this, pixels = std::move(pixels), target = target.value(), folder, pattern,
                    when, file, guard = QPointer<QObject>(context), guarded,
                    done = std::move(done)]() mutable {
        Result<QString> written = Result<QString>::failure(QString());
        const Result<QImage> image = pixels();
        const Result<QByteArray> bytes = image.ok() ? encode(image.value(), target.format)
                                                    : Result<QByteArray>::failure(image.error());
        if (!bytes.ok())
            written = Result<QString>::failure(bytes.error());
        else if (!file.isEmpty())
            written = AtomicFileWrite::replace(file, bytes.value());
        else
            written = AtomicFileWrite::writeNew(
                folder,
                [&](int attempt) {
                    return SaveName::candidate(pattern, when, target.extension, attempt);
                },
                bytes.value());
        QMetaObject::invokeMethod(
            this,
            [this, written, guard, guarded, done = std::move(done)] {
                finish(written, guard.data(), done, guarded);
            },
            Qt::QueuedConnection);
    });
}

void CaptureSaver::finish(const Result<QString> &written, QObject *context, const Done &done,
                          bool guarded)
{
    const QString line = written.ok() ? QStringLiteral("Saved ") + written.value()
                                      : QStringLiteral("Save failed: ") + written.error();
    Log::line(line);
    // The editor that asked may have closed meanwhile.
    if (done && (!guarded || context))
        done(written.ok() ? written : Result<QString>::failure(line));
}

void CaptureSaver::encodeLatest(QObject *context, Encoded done)
{
    if (m_manager->count() == 0) {
        Log::line(QStringLiteral("Nothing to save: the stack is empty."));
        done(Result<QByteArray>::failure(QStringLiteral("Nothing to save: the stack is empty.")));
        return;
    }
    m_worker.start([this, pixels = m_manager->store()->source(m_manager->captureIdAt(0)),
                    guard = QPointer<QObject>(context), done = std::move(done)]() mutable {
        const Result<QImage> image = pixels();
        const Result<QByteArray> bytes = image.ok() ? PngEncoder::encode(image.value())
                                                    : Result<QByteArray>::failure(image.error());
        QMetaObject::invokeMethod(
            this,
            [bytes, guard, done = std::move(done)] {
                if (!bytes.ok())
                    Log::line(QStringLiteral("Save failed: ") + bytes.error());
                if (guard)
                    done(bytes);
            },
            Qt::QueuedConnection);
    });
}

QString CaptureSaver::suggestedPath() const
{
    const QString folder = chooserFolder(
        m_preferences->saveFolder(),
        {QStandardPaths::writableLocation(QStandardPaths::PicturesLocation), QDir::homePath()});
    return folder + u'/' +
           SaveName::candidate(m_preferences->namePattern(), m_clock(), QStringLiteral(".png"), 1);
}

QString CaptureSaver::chooserFolder(const QString &saveFolder, const QStringList &fallbacks)
{
    if (!saveFolder.isEmpty() && (QFileInfo(saveFolder).isDir() || QDir().mkpath(saveFolder)))
        return saveFolder;
    for (const QString &folder : fallbacks)
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    return QDir::rootPath();
}

void CaptureSaver::waitForSaves()
{
    m_worker.waitForDone();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}
