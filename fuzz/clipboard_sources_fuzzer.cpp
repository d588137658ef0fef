// What a clipboard or a drop offers, as ImageIntake lists and judges it. The input is a list
// of records separated by 0x1e, each a MIME type, a line break and that type's bytes. "@DIR@"
// in the bytes stands for a private folder of sample files, the only files this target lets
// the code open: a picture, an empty file, a truncated picture, a FIFO, a folder, a link.

#include "FuzzSupport.h"
#include "editor/ImageIntake.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QTemporaryDir *samples = nullptr;

QByteArray pngOf(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(20, 120, 220, 180));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

void write(const QString &name, const QByteArray &bytes)
{
    QFile file(samples->filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// Whether the code may open `url`: only files of the sample folder, whatever the path says.
bool isSample(const QUrl &url)
{
    if (!url.isLocalFile())
        return true; // refused before any file is touched
    const QString root = QFileInfo(samples->path()).canonicalFilePath() + u'/';
    const QString path = QDir::cleanPath(url.toLocalFile());
    const QString real = QFileInfo(path).canonicalFilePath();
    return path.startsWith(samples->path() + u'/') && (real.isEmpty() || real.startsWith(root));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startOffscreenApplication();
    samples = new QTemporaryDir();
    std::atexit([] { delete samples; });
    const QByteArray png = pngOf(3, 2);
    write(QStringLiteral("picture.png"), png);
    write(QStringLiteral("empty.png"), {});
    write(QStringLiteral("truncated.png"), png.left(png.size() / 2));
    write(QStringLiteral("notes.txt"), "not a picture\n");
    QDir(samples->path()).mkdir(QStringLiteral("folder"));
    ::mkfifo(QFile::encodeName(samples->filePath(QStringLiteral("pipe"))).constData(), 0600);
    QFile::link(samples->filePath(QStringLiteral("picture.png")),
                samples->filePath(QStringLiteral("link.png")));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    input.replace("@DIR@", QFile::encodeName(samples->path()));

    QMimeData mime;
    for (const QByteArray &record : input.split('\x1e')) {
        const qsizetype lineEnd = record.indexOf('\n');
        const QString type = QString::fromUtf8(record.left(lineEnd < 0 ? record.size() : lineEnd));
        mime.setData(type, lineEnd < 0 ? QByteArray() : record.mid(lineEnd + 1));
    }

    const bool mayHold = ImageIntake::mayHoldImage(mime);
    const QList<ImageIntake::Source> sources = ImageIntake::sourcesOf(mime);
    FUZZ_CHECK(sources.isEmpty() || mayHold, "what offers a source may hold an image");

    qsizetype dataSources = 0;
    for (qsizetype i = 0; i < sources.size(); ++i) {
        const ImageIntake::Source &source = sources.at(i);
        if (source.isFile()) {
            FUZZ_CHECK(dataSources == 0, "files come before image data");
            if (!isSample(source.url))
                continue;
        } else {
            ++dataSources;
            FUZZ_CHECK(source.mimeType.startsWith(u"image/") && !source.mimeType.contains(u"svg"),
                       "image data is of an image type other than SVG");
            FUZZ_CHECK(!source.data.isEmpty(), "image data is not empty");
            FUZZ_CHECK(source.mimeType == u"image/png" ||
                           mime.data(QStringLiteral("image/png")).isEmpty(),
                       "PNG data comes first");
        }
        const bool readable = ImageIntake::looksReadable(source);
        const std::optional<ImageIntake::Decoded> decoded = ImageIntake::load(source);
        FUZZ_CHECK(!decoded || readable, "what loads looked readable");
    }
    FUZZ_CHECK(dataSources <= 1, "one kind of image data at most");
    return 0;
}
