#include "ImageIntake.h"

#include "platform/PngDecoder.h"

#include <QBuffer>
#include <QFile>
#include <QFutureWatcher>
#include <QImageReader>
#include <QMimeData>
#include <QObject>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

const QString UriList = QStringLiteral("text/uri-list");
// What GNOME's and other GTK file managers put on the clipboard for copied files.
const QString CopiedFiles = QStringLiteral("x-special/gnome-copied-files");

// Raster formats only. SVG is left out on purpose: its renderer sizes its canvas from the
// document and ignores the reader's allocation limit.
bool isAllowedFormat(const QByteArray &format)
{
    static const QList<QByteArray> allowed = {"png",  "jpeg", "jpg", "gif", "bmp", "webp",
                                              "tiff", "tif",  "ppm", "pgm", "pbm", "ico"};
    return allowed.contains(format.toLower());
}

// A reader of `device` whose declared picture is one we decode.
bool isAcceptable(QImageReader &reader)
{
    if (!isAllowedFormat(reader.format()))
        return false;
    const QSize size = reader.size();
    return size.isValid() && !size.isEmpty() &&
           qint64(size.width()) * size.height() <= ImageIntake::maximumPixels;
}

// Image data held in memory obeys the cap that a file's bytes do.
bool fitsByteCap(const QByteArray &bytes)
{
    return !bytes.isEmpty() && bytes.size() <= ImageIntake::maximumFileBytes;
}

/// A file descriptor closed when it goes out of scope.
struct Descriptor
{
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// The path of a local file URL: no host, or this machine's ("file://localhost/tmp/a.png").
std::optional<QString> localPath(const QUrl &url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    if (url.host().isEmpty())
        return url.toLocalFile();
    if (url.host().compare(u"localhost", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    QUrl here = url;
    here.setHost(QString());
    return here.toLocalFile();
}

bool isUsableFile(const struct stat &info)
{
    return S_ISREG(info.st_mode) && info.st_size > 0 &&
           info.st_size <= ImageIntake::maximumFileBytes;
}

bool isSameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens a local regular file, and nothing else: the path is looked at before anything is
// opened, since opening a device can act on it and opening a FIFO waits for a writer. The
// file that was looked at is then reopened through a handle that cannot be swapped for
// another. The size is the file's at the time of opening.
bool openRegularFile(const QUrl &url, Descriptor &file, qint64 &size)
{
    const std::optional<QString> local = localPath(url);
    if (!local || local->isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(*local);
    struct stat seen = {};
    if (::stat(path.constData(), &seen) != 0 || !isUsableFile(seen))
        return false;

    // An O_PATH handle names the file without opening it; /proc/self/fd reopens that very
    // file. Where /proc is missing, the path is opened again and must still be that file.
    Descriptor handle;
    handle.fd = ::open(path.constData(), O_PATH | O_CLOEXEC);
    struct stat named = {};
    if (handle.fd < 0 || ::fstat(handle.fd, &named) != 0 || !isSameFile(seen, named) ||
        !isUsableFile(named))
        return false;
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    file.fd =
        ::open(QByteArray("/proc/self/fd/" + QByteArray::number(handle.fd)).constData(), flags);
    if (file.fd < 0 && errno == ENOENT)
        file.fd = ::open(path.constData(), flags);
    struct stat info = {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !isSameFile(named, info) ||
        !isUsableFile(info))
        return false;
    size = info.st_size;
    return true;
}

QList<QUrl> urlsIn(const QByteArray &text, bool skipVerb)
{
    QList<QUrl> urls;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith('#') || (skipVerb && i == 0))
            continue;
        const QUrl url = QUrl::fromEncoded(line, QUrl::StrictMode);
        if (url.isValid())
            urls.append(url);
    }
    return urls;
}

bool isImageData(const QString &format)
{
    return format.startsWith(u"image/") && !format.contains(u"svg");
}

} // namespace

namespace ImageIntake {

QList<Source> sourcesOf(const QMimeData &mime)
{
    QList<Source> sources;
    const QStringList formats = mime.formats();
    QList<QUrl> urls;
    if (formats.contains(UriList))
        urls = urlsIn(mime.data(UriList), false);
    if (urls.isEmpty() && formats.contains(CopiedFiles))
        urls = urlsIn(mime.data(CopiedFiles), true);
    for (const QUrl &url : std::as_const(urls))
        sources.append({url, {}, {}});

    // One kind of image data is enough (each is fetched from its owner, who may encode it
    // on request): PNG first, as it keeps every pixel and the transparency.
    QStringList imageFormats;
    for (const QString &format : formats) {
        if (isImageData(format))
            imageFormats.append(format);
    }
    std::stable_sort(
        imageFormats.begin(), imageFormats.end(),
        [](const QString &a, const QString &b) { return a == u"image/png" && b != u"image/png"; });
    for (const QString &format : std::as_const(imageFormats)) {
        const QByteArray data = mime.data(format);
        if (fitsByteCap(data)) {
            sources.append({{}, data, format});
            break;
        }
    }
    return sources;
}

bool mayHoldImage(const QMimeData &mime)
{
    const QStringList formats = mime.formats();
    return formats.contains(UriList) || formats.contains(CopiedFiles) ||
           std::any_of(formats.begin(), formats.end(), isImageData);
}

std::optional<QByteArray> readFile(const QUrl &url)
{
    Descriptor file;
    qint64 size = 0;
    if (!openRegularFile(url, file, size))
        return std::nullopt;
    // The file may grow while it is read: one byte past the cap tells.
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    qint64 done = 0;
    while (true) {
        if (done == bytes.size()) {
            if (bytes.size() > maximumFileBytes)
                return std::nullopt;
            bytes.resize(std::min<qint64>(bytes.size() + 65536, maximumFileBytes + 1));
        }
        const ssize_t n = ::read(file.fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            break;
        done += n;
    }
    bytes.truncate(qsizetype(done));
    return bytes;
}

std::optional<QImage> decode(const QByteArray &bytes)
{
    if (!fitsByteCap(bytes) || !PngDecoder::chunksFitInFile(bytes))
        return std::nullopt;
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    if (!isAcceptable(reader))
        return std::nullopt;
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return std::nullopt;
    // Palette, grey and 16-bit files come as what they are; the editor's views and renderer
    // take 32-bit pixels (Qt Quick's software renderer shows a palette picture as blank).
    if (image.depth() != 32 || image.format() == QImage::Format_RGBX8888)
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                : QImage::Format_RGB32);
    // An image file's pixels are its points.
    image.setDevicePixelRatio(1);
    return image;
}

bool looksReadable(const Source &source)
{
    // A PNG chunk that claims more than the file holds is refused before Qt's reader would
    // allocate what it claims.
    if (!source.isFile()) {
        if (!fitsByteCap(source.data) || !PngDecoder::chunksFitInFile(source.data))
            return false;
        QBuffer buffer;
        buffer.setData(source.data);
        if (!buffer.open(QIODevice::ReadOnly))
            return false;
        QImageReader reader(&buffer);
        return isAcceptable(reader);
    }
    Descriptor descriptor;
    qint64 size = 0;
    if (!openRegularFile(source.url, descriptor, size))
        return false;
    QFile file;
    if (!file.open(descriptor.fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle) ||
        !PngDecoder::headerChunksFitInFile(file))
        return false;
    QImageReader reader(&file);
    return isAcceptable(reader);
}

QImage displayCopy(const QImage &image)
{
    if (std::max(image.width(), image.height()) <= maximumDisplaySide)
        return image;
    QImage copy = image.scaled(maximumDisplaySide, maximumDisplaySide, Qt::KeepAspectRatio,
                               Qt::SmoothTransformation);
    copy.setDevicePixelRatio(1);
    return copy;
}

std::optional<Decoded> load(const Source &source)
{
    std::optional<QImage> image;
    if (source.isFile()) {
        if (const std::optional<QByteArray> bytes = readFile(source.url))
            image = decode(*bytes);
    } else {
        image = decode(source.data);
    }
    if (!image)
        return std::nullopt;
    return Decoded{*image, displayCopy(*image)};
}

std::optional<Decoded> loadFirst(const QList<Source> &sources)
{
    for (const Source &source : sources) {
        if (std::optional<Decoded> decoded = load(source))
            return decoded;
    }
    return std::nullopt;
}

void loadInBackground(const QList<Source> &sources, QObject *context,
                      std::function<void(const Decoded &)> done)
{
    // The watcher belongs to the context: when the context goes, so does the watcher with
    // its connection, and the finished work has no one to tell.
    auto *watcher = new QFutureWatcher<std::optional<Decoded>>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context,
                     [watcher, done = std::move(done)] {
                         const std::optional<Decoded> decoded = watcher->result();
                         watcher->deleteLater();
                         if (decoded)
                             done(*decoded);
                     });
    watcher->setFuture(
        QtConcurrent::run(QThreadPool::globalInstance(), [sources] { return loadFirst(sources); }));
}

} // namespace ImageIntake
