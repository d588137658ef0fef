#include "platform/PngDecoder.h"

#include <libdeflate.h>

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray chunk(const char *type, const QByteArray &data)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), out.data());
    out += QByteArray(type, 4) + data;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(libdeflate_crc32(0, out.constData() + 4, size_t(data.size()) + 4),
                          crc.data());
    return out + crc;
}

QByteArray header(quint32 width, quint32 height, char colourType, char bitDepth = 8,
                  char interlace = 0)
{
    QByteArray data(13, '\0');
    qToBigEndian<quint32>(width, data.data());
    qToBigEndian<quint32>(height, data.data() + 4);
    data[8] = bitDepth;
    data[9] = colourType;
    data[12] = interlace;
    return chunk("IHDR", data);
}

QByteArray zlib(const QByteArray &raw)
{
    libdeflate_compressor *compressor = libdeflate_alloc_compressor(6);
    QByteArray out(int(libdeflate_zlib_compress_bound(compressor, size_t(raw.size()))), '\0');
    out.resize(int(libdeflate_zlib_compress(compressor, raw.constData(), size_t(raw.size()),
                                            out.data(), size_t(out.size()))));
    libdeflate_free_compressor(compressor);
    return out;
}

int paethPredictor(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

/// The rows of an RGB32/ARGB32 image as PNG samples, row y filtered with filter y % 5, so
/// that every filter meets every kind of neighbour.
QByteArray filteredRows(const QImage &image, int channels, int filterOverride = -1)
{
    const int length = image.width() * channels;
    QByteArray raw, previous(length, '\0');
    for (int y = 0; y < image.height(); ++y) {
        QByteArray row;
        const auto *pixels = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row += char(qRed(pixels[x]));
            row += char(qGreen(pixels[x]));
            row += char(qBlue(pixels[x]));
            if (channels == 4)
                row += char(qAlpha(pixels[x]));
        }
        const int filter = filterOverride >= 0 ? filterOverride : y % 5;
        raw += char(filter);
        for (int i = 0; i < length; ++i) {
            const int a = i >= channels ? uchar(row[i - channels]) : 0;
            const int b = uchar(previous[i]);
            const int c = i >= channels ? uchar(previous[i - channels]) : 0;
            const int predicted = filter == 1   ? a
                                  : filter == 2 ? b
                                  : filter == 3 ? (a + b) / 2
                                  : filter == 4 ? paethPredictor(a, b, c)
                                                : 0;
            raw += char(uchar(row[i]) - predicted);
        }
        previous = row;
    }
    return raw;
}

struct PngParts
{
    QByteArray header;
    QByteArray before; // chunks between the header and the image data
    QByteArray compressed;
    int idatSize = 1 << 20;
    QByteArray between; // chunks between two image data chunks
};

QByteArray assemble(const PngParts &parts)
{
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    out += parts.header + parts.before;
    for (int i = 0; i < parts.compressed.size(); i += parts.idatSize) {
        if (i > 0)
            out += parts.between;
        out += chunk("IDAT", parts.compressed.mid(i, parts.idatSize));
    }
    return out + chunk("IEND", {});
}

QByteArray handMade(const QImage &image, int idatSize = 1 << 20, const QByteArray &before = {})
{
    const int channels = image.hasAlphaChannel() ? 4 : 3;
    return assemble({header(quint32(image.width()), quint32(image.height()), channels == 4 ? 6 : 2),
                     before,
                     zlib(filteredRows(image, channels)),
                     idatSize,
                     {}});
}

QByteArray savedByQt(const QImage &image, const char *format = "PNG")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage readByQt(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).read();
}

/// Noise with runs and edges, so that every filter has something to predict.
QImage picture(QSize size, bool alpha)
{
    QImage image(size, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QRandomGenerator random(size.width() * 7919 + size.height());
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const quint32 noise = random.generate();
            line[x] = (x / 4 + y) % 3 == 0
                          ? qRgba(250, 250, 250, 255)
                          : qRgba(int(noise & 0xff), int(noise >> 8 & 0xff),
                                  int(noise >> 16 & 0xff), alpha ? int(noise >> 24) : 255);
        }
    }
    return image;
}

const QByteArray TextChunk = chunk("tEXt", QByteArray("Software\0test", 13));

} // namespace

Q_DECLARE_METATYPE(QImage::Format)

class PngDecoderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsCommonFilesLikeQt_data()
    {
        QTest::addColumn<QByteArray>("png");
        QTest::addColumn<QImage::Format>("format");

        for (const QSize size : {QSize(1, 1), QSize(3, 7), QSize(61, 40)}) {
            const QString name = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
            QTest::newRow(qPrintable(name + " rgb, every filter"))
                << handMade(picture(size, false)) << QImage::Format_RGB32;
            QTest::newRow(qPrintable(name + " rgba, every filter"))
                << handMade(picture(size, true)) << QImage::Format_ARGB32;
        }
        QTest::newRow("rgb written by Qt")
            << savedByQt(picture({97, 33}, false)) << QImage::Format_RGB32;
        QTest::newRow("rgba written by Qt")
            << savedByQt(picture({97, 33}, true)) << QImage::Format_ARGB32;
        QTest::newRow("data split over many chunks")
            << handMade(picture({40, 30}, false), 7) << QImage::Format_RGB32;
        QTest::newRow("a text chunk before the data")
            << handMade(picture({40, 30}, true), 1 << 20, TextChunk) << QImage::Format_ARGB32;
    }

    void readsCommonFilesLikeQt()
    {
        QFETCH(QByteArray, png);
        QFETCH(QImage::Format, format);
        const QImage expected = readByQt(png);
        QVERIFY(!expected.isNull());

        const std::optional<QImage> fast = PngDecoder::decodeCommon(png);
        QVERIFY2(fast.has_value(), "the common kind should not need Qt");
        QCOMPARE(fast->format(), format);
        QCOMPARE(*fast, expected.convertToFormat(format));

        const Result<QImage> decoded = PngDecoder::decode(png);
        QVERIFY(decoded.ok());
        QCOMPARE(decoded.value(), *fast);
    }

    void leavesOtherKindsToQt_data()
    {
        QTest::addColumn<QByteArray>("file");

        const QImage opaque = picture({23, 9}, false);
        QTest::newRow("palette") << savedByQt(opaque.convertToFormat(QImage::Format_Indexed8));
        QTest::newRow("grey") << savedByQt(opaque.convertToFormat(QImage::Format_Grayscale8));
        QTest::newRow("16 bits a sample")
            << savedByQt(picture({23, 9}, true).convertToFormat(QImage::Format_RGBA64));
        QTest::newRow("gamma") << handMade(opaque, 1 << 20, chunk("gAMA", QByteArray(4, '\1')));
        QTest::newRow("transparent colour")
            << handMade(opaque, 1 << 20, chunk("tRNS", QByteArray(6, '\0')));
        QTest::newRow("not a PNG") << savedByQt(opaque, "BMP");
    }

    void leavesOtherKindsToQt()
    {
        QFETCH(QByteArray, file);
        QVERIFY(!PngDecoder::decodeCommon(file).has_value());
        const Result<QImage> decoded = PngDecoder::decode(file);
        QVERIFY2(decoded.ok(), qPrintable(decoded.error()));
        QCOMPARE(decoded.value(), readByQt(file));
    }

    void aChunkLongerThanTheFileIsRefusedBeforeQtReadsIt_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<bool>("fitsBeforePixels");
        const QByteArray good = handMade(picture({6, 4}, false));
        // Found by fuzzing: Qt's reader allocated the 1.8 GB this text chunk claims.
        QByteArray early = handMade(picture({6, 4}, false), 1 << 20, TextChunk);
        qToBigEndian<quint32>(0x6c000000u, early.data() + 33);
        QByteArray late = TextChunk;
        qToBigEndian<quint32>(0x6c000000u, late.data());
        QTest::newRow("a good file") << good << true << true;
        QTest::newRow("a text chunk before the pixels claims 1.8 GB") << early << false << false;
        QTest::newRow("a text chunk after the pixels claims 1.8 GB")
            << good.left(good.size() - 12) + late + good.right(12) << false << true;
        QTest::newRow("cut between chunks") << good.left(33) << true << true;
        QTest::newRow("no PNG") << QByteArray("GIF89a") << true << true;
    }

    void aChunkLongerThanTheFileIsRefusedBeforeQtReadsIt()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, fits);
        QFETCH(bool, fitsBeforePixels);
        QCOMPARE(PngDecoder::chunksFitInFile(file), fits);
        QBuffer device(&file);
        QVERIFY(device.open(QIODevice::ReadOnly));
        QCOMPARE(PngDecoder::headerChunksFitInFile(device), fitsBeforePixels);
        QCOMPARE(device.pos(), 0);
        if (!fits) {
            const Result<QImage> decoded = PngDecoder::decode(file);
            QVERIFY(!decoded.ok());
            QVERIFY2(decoded.error().contains(QStringLiteral("runs past its end")),
                     qPrintable(decoded.error()));
        }
    }

    void refusesDamagedFiles_data()
    {
        QTest::addColumn<QByteArray>("file");

        const QImage image = picture({30, 20}, false);
        const QByteArray good = handMade(image);
        const QByteArray rows = filteredRows(image, 3);

        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("only the signature") << good.left(8);
        QTest::newRow("cut in the data") << good.left(good.size() / 2);
        QTest::newRow("cut before the end chunk") << good.left(good.size() - 12);
        QByteArray badCrc = good;
        badCrc[good.size() - 20] = char(badCrc[good.size() - 20] ^ 0x40);
        QTest::newRow("data damaged") << badCrc;
        QTest::newRow("rows missing")
            << assemble({header(30, 20, 2), {}, zlib(rows.left(rows.size() - 91)), 1 << 20, {}});
        QByteArray badFilter = rows;
        badFilter[91 * 3] = char(5);
        QTest::newRow("unknown filter")
            << assemble({header(30, 20, 2), {}, zlib(badFilter), 1 << 20, {}});
        QTest::newRow("data not in one run")
            << assemble({header(30, 20, 2), {}, zlib(rows), 300, TextChunk});
        QTest::newRow("zero width") << assemble({header(0, 20, 2), {}, zlib(rows), 1 << 20, {}});
        QTest::newRow("more pixels than allowed, and no data for them")
            << assemble({header(16384, 16384, 2), {}, zlib(rows), 1 << 20, {}});
        QByteArray hugeLength = good;
        qToBigEndian<quint32>(0xfffffff0u, hugeLength.data() + 33);
        QTest::newRow("chunk longer than the file") << hugeLength;
    }

    void refusesDamagedFiles()
    {
        QFETCH(QByteArray, file);
        QVERIFY(!PngDecoder::decodeCommon(file).has_value());
        const Result<QImage> decoded = PngDecoder::decode(file);
        QVERIFY(!decoded.ok());
        QVERIFY(!decoded.error().isEmpty());
    }
};

QTEST_GUILESS_MAIN(PngDecoderTest)
#include "PngDecoderTest.moc"
