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

// Opens a local regular file without blocking: a FIFO or a device is refused before anyone
// reads from it. The size is the file's at the time of opening.
bool openRegularFile(const QUrl &url, Descriptor &file, qint64 &size)
{
    if (!url.isLocalFile() || (!url.host().isEmpty() && url.host() != u"localhost"))
        return false;
    const QByteArray path = QFile::encodeName(url.toLocalFile());
    file.fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (file.fd < 0)
        return false;
    struct stat info = {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    size = info.st_size;
    return size > 0 && size <= ImageIntake::maximumFileBytes;
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
        if (!data.isEmpty()) {
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
    if (!PngDecoder::chunksFitInFile(bytes))
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
    // An image file's pixels are its points.
    image.setDevicePixelRatio(1);
    return image;
}

bool looksReadable(const Source &source)
{
    if (!source.isFile()) {
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
    if (!file.open(descriptor.fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
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
