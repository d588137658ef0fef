#include "editor/ImageIntake.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage halves(QSize size, QColor left, QColor right)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(right);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width() / 2; ++x)
            image.setPixelColor(x, y, left);
    return image;
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffff;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

void putBigEndian(QByteArray &bytes, int at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (24 - 8 * i));
}

// A PNG whose header declares width x height over the pixels of a 1 x 1 image.
QByteArray pngDeclaring(quint32 width, quint32 height)
{
    QByteArray png = encoded(QImage(1, 1, QImage::Format_RGB32), "png");
    // IHDR's width and height follow the 8-byte signature, the chunk length and its type;
    // its checksum covers the type and the 13 bytes of data.
    putBigEndian(png, 16, width);
    putBigEndian(png, 20, height);
    putBigEndian(png, 29, crc32(png.mid(12, 17)));
    return png;
}

// A JPEG of `image` whose EXIF says: turn it a quarter clockwise to show it.
QByteArray jpegTurnedClockwise(const QImage &image)
{
    const QByteArray jpeg = encoded(image, "jpeg");
    const QByteArray exif = QByteArray::fromHex("ffe10022"                 // APP1, 34 bytes
                                                "457869660000"             // "Exif\0\0"
                                                "49492a0008000000"         // little-endian TIFF
                                                "0100"                     // one entry:
                                                "120103000100000006000000" // orientation 6
                                                "00000000");
    return jpeg.left(2) + exif + jpeg.mid(2);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

/// `size` bytes of zeros that cost no memory until written: untouched pages stay unmapped.
struct SparseBytes
{
    explicit SparseBytes(qsizetype size) : size(size)
    {
        void *mapped = ::mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        data = mapped == MAP_FAILED ? nullptr : static_cast<char *>(mapped);
    }
    ~SparseBytes()
    {
        if (data)
            ::munmap(data, size_t(size));
    }
    SparseBytes(const SparseBytes &) = delete;
    SparseBytes &operator=(const SparseBytes &) = delete;

    char *data = nullptr;
    qsizetype size = 0;
};

} // namespace

class ImageIntakeTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    // A small PNG followed by zeros, one byte past the cap.
    SparseBytes m_oversizedData{ImageIntake::maximumFileBytes + 1};

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QByteArray oversizedData(qsizetype size = ImageIntake::maximumFileBytes + 1) const
    {
        return QByteArray::fromRawData(m_oversizedData.data, size);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(writeFile(path("tile.png"), encoded(halves({30, 20}, Qt::red, Qt::blue), "png")));
        const QByteArray png = encoded(halves({300, 200}, Qt::red, Qt::blue), "png");
        QVERIFY(writeFile(path("truncated.png"), png.left(png.size() / 2)));
        QVERIFY(writeFile(path("huge-header.png"), pngDeclaring(60000, 60000)));
        QVERIFY(writeFile(path("picture.svg"),
                          "<svg xmlns='http://www.w3.org/2000/svg' width='100000' "
                          "height='100000'><rect width='10' height='10'/></svg>"));
        QVERIFY(writeFile(path("notes.txt"), "just words\n"));
        QVERIFY(mkfifo(QFile::encodeName(path("pipe")).constData(), 0600) == 0);
        // Past the size cap, without the disk space: a sparse file.
        QFile big(path("big.png"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(ImageIntake::maximumFileBytes + 1));
        QVERIFY(m_oversizedData.data);
        const QByteArray tile = encoded(halves({30, 20}, Qt::red, Qt::blue), "png");
        std::copy(tile.begin(), tile.end(), m_oversizedData.data);
    }

    void refusedInputs_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QByteArray>("data");

        const auto file = [this](const QString &name) { return QUrl::fromLocalFile(path(name)); };
        QTest::newRow("FIFO") << file("pipe") << QByteArray();
        QTest::newRow("/dev/zero") << QUrl("file:///dev/zero") << QByteArray();
        QTest::newRow("directory") << QUrl::fromLocalFile(m_dir.path()) << QByteArray();
        QTest::newRow("missing file") << file("missing.png") << QByteArray();
        QTest::newRow("http URL") << QUrl("http://example.invalid/tile.png") << QByteArray();
        QTest::newRow("file on another host")
            << QUrl("file://elsewhere/tmp/tile.png") << QByteArray();
        QTest::newRow("file past the size cap") << file("big.png") << QByteArray();
        QTest::newRow("text file") << file("notes.txt") << QByteArray();
        QTest::newRow("truncated PNG") << file("truncated.png") << QByteArray();
        QTest::newRow("60000x60000 PNG header") << file("huge-header.png") << QByteArray();
        QTest::newRow("SVG file") << file("picture.svg") << QByteArray();
        QTest::newRow("60000x60000 PNG data") << QUrl() << pngDeclaring(60000, 60000);
        QTest::newRow("image data past the size cap") << QUrl() << oversizedData();
        QTest::newRow("SVG data") << QUrl()
                                  << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' "
                                                "width='10' height='10'/>");
        QTest::newRow("bytes that are no image") << QUrl() << QByteArray("not a png");
        QTest::newRow("no data") << QUrl() << QByteArray();
    }

    void refusedInputs()
    {
        QFETCH(QUrl, url);
        QFETCH(QByteArray, data);
        const ImageIntake::Source source{url, data, url.isEmpty() ? "image/png" : QString()};

        QVERIFY(!ImageIntake::load(source));
        if (!QByteArray(QTest::currentDataTag()).startsWith("truncated"))
            QVERIFY(!ImageIntake::looksReadable(source));
    }

    void acceptedInputs_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QByteArray>("data");

        const QString tile = path("tile.png");
        QTest::newRow("file URL") << QUrl::fromLocalFile(tile) << QByteArray();
        QTest::newRow("file URL naming localhost")
            << QUrl(QStringLiteral("file://localhost") + tile) << QByteArray();
        QTest::newRow("image data")
            << QUrl() << encoded(halves({30, 20}, Qt::red, Qt::blue), "bmp");
        QTest::newRow("palette PNG data")
            << QUrl()
            << encoded(halves({30, 20}, Qt::red, Qt::blue).convertToFormat(QImage::Format_Indexed8),
                       "png");
        // The caps are on the bytes the picture takes, not on the memory it came in.
        QTest::newRow("image data at the size cap")
            << QUrl() << oversizedData(ImageIntake::maximumFileBytes);
    }

    void acceptedInputs()
    {
        QFETCH(QUrl, url);
        QFETCH(QByteArray, data);
        const ImageIntake::Source source{url, data, url.isEmpty() ? "image/bmp" : QString()};

        QVERIFY(ImageIntake::looksReadable(source));
        const std::optional<ImageIntake::Decoded> decoded = ImageIntake::load(source);

        QVERIFY(decoded);
        QCOMPARE(decoded->image.size(), QSize(30, 20));
        QCOMPARE(decoded->image.deviceIndependentSize(), QSizeF(30, 20));
        QCOMPARE(decoded->image.pixelColor(5, 10), QColor(Qt::red));
        // Whatever the file's pixel format, the editor gets 32-bit pixels to show and draw.
        QCOMPARE(decoded->image.depth(), 32);
    }

    void pipesAndDevicesAreNeverOpened_data()
    {
        QTest::addColumn<QString>("name");

        QTest::newRow("FIFO") << QStringLiteral("pipe");
        QTest::newRow("link to a FIFO") << QStringLiteral("pipe-link.png");
        QTest::newRow("character device") << QStringLiteral("zero");
    }

    // Opening a device may act on it, and a FIFO's opening is the writer's to see: the file
    // kind is known before anything is opened. The kernel reports every opening to a watch.
    void pipesAndDevicesAreNeverOpened()
    {
        QFETCH(QString, name);
        const QByteArray file = QFile::encodeName(path(name));
        if (name == QLatin1String("pipe-link.png") && !QFileInfo::exists(path(name)))
            QVERIFY(QFile::link(path("pipe"), path(name)));
        if (name == QLatin1String("zero") && !QFileInfo::exists(path(name)) &&
            ::mknod(file.constData(), S_IFCHR | 0600, makedev(1, 5)) != 0)
            QSKIP("no device node can be made here");
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(::inotify_add_watch(watch, file.constData(), IN_OPEN) >= 0);
        const QUrl url = QUrl::fromLocalFile(path(name));

        const bool read = ImageIntake::readFile(url).has_value();
        const bool readable = ImageIntake::looksReadable({url, {}, {}});
        const bool loaded = ImageIntake::load({url, {}, {}}).has_value();

        char events[4096];
        const ssize_t reported = ::read(watch, events, sizeof events);
        ::close(watch);
        QVERIFY(!read && !readable && !loaded);
        QCOMPARE(reported, ssize_t(-1)); // nothing to read: no opening
    }

    void exifOrientationIsApplied()
    {
        const QByteArray jpeg = jpegTurnedClockwise(halves({40, 20}, Qt::red, Qt::blue));

        const std::optional<QImage> image = ImageIntake::decode(jpeg);

        // Upright: the left (red) half of the stored picture is now on top.
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(20, 40));
        const QColor top = image->pixelColor(10, 5);
        const QColor bottom = image->pixelColor(10, 35);
        QVERIFY2(top.red() > 200 && top.blue() < 60, qPrintable(top.name()));
        QVERIFY2(bottom.blue() > 200 && bottom.red() < 60, qPrintable(bottom.name()));
    }

    void sourcesInOrder_data()
    {
        QTest::addColumn<QStringList>("formats");
        QTest::addColumn<QList<QByteArray>>("payloads");
        QTest::addColumn<QStringList>("expected"); // URLs, or "data:" + MIME type

        QTest::newRow("files in order, then PNG data")
            << QStringList{"text/uri-list", "image/bmp", "image/png"}
            << QList<QByteArray>{"file:///a.txt\r\n# comment\r\nfile:///b.png\r\n", "BM", "PNG"}
            << QStringList{"file:///a.txt", "file:///b.png", "data:image/png"};
        QTest::newRow("other image data without PNG")
            << QStringList{"image/jpeg"} << QList<QByteArray>{"JPEG"}
            << QStringList{"data:image/jpeg"};
        QTest::newRow("SVG and text are not image data")
            << QStringList{"image/svg+xml", "text/plain"} << QList<QByteArray>{"<svg/>", "hi"}
            << QStringList{};
    }

    void sourcesInOrder()
    {
        QFETCH(QStringList, formats);
        QFETCH(QList<QByteArray>, payloads);
        QFETCH(QStringList, expected);
        QMimeData mime;
        for (int i = 0; i < formats.size(); ++i)
            mime.setData(formats.at(i), payloads.at(i));

        QStringList found;
        for (const ImageIntake::Source &source : ImageIntake::sourcesOf(mime))
            found.append(source.isFile() ? source.url.toString()
                                         : QStringLiteral("data:") + source.mimeType);

        QCOMPARE(found, expected);
    }

    void displayCopyIsCapped_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("shown");

        QTest::newRow("wide") << QSize(5000, 100) << QSize(4096, 81);
        QTest::newRow("tall") << QSize(100, 8192) << QSize(50, 4096);
        QTest::newRow("at the cap") << QSize(4096, 10) << QSize(4096, 10);
    }

    void displayCopyIsCapped()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, shown);
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::green);

        const QImage copy = ImageIntake::displayCopy(image);

        QCOMPARE(copy.size(), shown);
        // A small image is shown as it is, never copied.
        QCOMPARE(copy.cacheKey() == image.cacheKey(), size == shown);
    }

    void aGoneContextHearsNothing()
    {
        const QList<ImageIntake::Source> sources = {
            {QUrl::fromLocalFile(path("tile.png")), {}, {}}};
        int live = 0;
        int gone = 0;
        QObject liveContext;
        auto *goneContext = new QObject;

        ImageIntake::loadInBackground(sources, &liveContext,
                                      [&live](const ImageIntake::Decoded &) { ++live; });
        ImageIntake::loadInBackground(sources, goneContext,
                                      [&gone](const ImageIntake::Decoded &) { ++gone; });
        delete goneContext;
        QThreadPool::globalInstance()->waitForDone();
        QTRY_COMPARE(live, 1);
        QCoreApplication::processEvents();

        QCOMPARE(gone, 0);
    }
};

QTEST_MAIN(ImageIntakeTest)
#include "ImageIntakeTest.moc"
