#include "capture/ZstdPixelCodec.h"

#include <QColorSpace>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstring>

#include <zstd.h>

namespace {

/// Noise over every byte of every row; XRGB32 keeps its padding bytes 0xff, as captures do.
QImage noise(QSize size, QImage::Format format, quint32 variant)
{
    QImage image(size, format);
    QRandomGenerator random(variant);
    const qsizetype lineBytes = (qsizetype(size.width()) * image.depth() + 7) / 8;
    for (int y = 0; y < size.height(); ++y) {
        uchar *line = image.scanLine(y);
        for (qsizetype i = 0; i < lineBytes; ++i)
            line[i] = uchar(random.bounded(256));
        if (format == QImage::Format_RGB32) {
            for (int x = 0; x < size.width(); ++x)
                reinterpret_cast<QRgb *>(line)[x] |= 0xff000000u;
        }
    }
    return image;
}

/// What a screen looks like: flat areas, edges and text; every padding byte 0xff.
QImage desktop(QSize size, quint32 variant)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0x3b, 0x6e, 0xa5));
    QPainter painter(&image);
    QRandomGenerator random(variant);
    for (int i = 0; i < 12; ++i) {
        const QRect window(random.bounded(size.width()), random.bounded(size.height()),
                           size.width() / 3, size.height() / 3);
        painter.fillRect(window, QColor::fromRgb(random.generate() | 0xff000000u));
        painter.setPen(Qt::black);
        painter.drawText(window.adjusted(10, 10, -10, -10), QStringLiteral("Window %1").arg(i));
    }
    return image;
}

/// A photograph as a screen shows one: smooth colour with grain that all three channels share
/// and a little that each has of its own; its lowest rows swing between the extremes of every
/// channel, where the differences between channels wrap around.
QImage photograph(QSize size, quint32 variant)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(variant);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const bool extremes = y >= size.height() - 4;
        for (int x = 0; x < size.width(); ++x) {
            const int grain = int(random.bounded(9)) - 4;
            int v[3];
            for (int c = 0; c < 3; ++c) {
                const double field = 100 * std::sin(x / (90.0 + 30 * c) + y / (70.0 - 10 * c));
                v[c] = extremes ? int(random.bounded(2)) * 255
                                : std::clamp(int(128 + field) + grain + int(random.bounded(3)) - 1,
                                             0, 255);
            }
            line[x] = qRgb(v[0], v[1], v[2]);
        }
    }
    return image;
}

/// The same copy with its first row naming a filter that does not exist: the frame is rebuilt
/// around it, checksum and all, so that nothing else is wrong.
QByteArray withUnknownRowFilter(const QByteArray &packed, qsizetype headerSize)
{
    const char *frame = packed.constData() + headerSize;
    const size_t frameSize = size_t(packed.size() - headerSize);
    QByteArray filtered(qsizetype(ZSTD_getFrameContentSize(frame, frameSize)), Qt::Uninitialized);
    ZSTD_decompress(filtered.data(), size_t(filtered.size()), frame, frameSize);
    filtered[0] = char(7);
    ZSTD_CCtx *context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    QByteArray rebuilt(qsizetype(ZSTD_compressBound(size_t(filtered.size()))), Qt::Uninitialized);
    rebuilt.resize(qsizetype(ZSTD_compress2(context, rebuilt.data(), size_t(rebuilt.size()),
                                            filtered.constData(), size_t(filtered.size()))));
    ZSTD_freeCCtx(context);
    return packed.left(headerSize) + rebuilt;
}

QImage withRatio(QImage image, qreal ratio)
{
    image.setDevicePixelRatio(ratio);
    return image;
}

QImage inColourSpace(QImage image, const QColorSpace &space)
{
    image.setColorSpace(space);
    return image;
}

QImage xrgbWithStrayPadding(QSize size)
{
    // Not a valid XRGB32 picture, but bytes a broken source could hand over: they must come
    // back as they were.
    QImage image = noise(size, QImage::Format_RGB32, 9);
    reinterpret_cast<QRgb *>(image.scanLine(size.height() - 1))[size.width() - 1] = 0x12345678u;
    return image;
}

} // namespace

class ZstdPixelCodecTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTripIsBitExact_data()
    {
        QTest::addColumn<QImage>("image");

        QTest::newRow("xrgb odd width") << noise(QSize(1021, 333), QImage::Format_RGB32, 1);
        QTest::newRow("xrgb desktop") << desktop(QSize(1513, 983), 2);
        QTest::newRow("xrgb photograph") << photograph(QSize(517, 203), 3);
        QTest::newRow("one pixel") << noise(QSize(1, 1), QImage::Format_RGB32, 5);
        QTest::newRow("1 x 8K") << noise(QSize(1, 7680), QImage::Format_RGB32, 7);
        QTest::newRow("device pixel ratio 1.25")
            << withRatio(noise(QSize(301, 7), QImage::Format_RGB32, 8), 1.25);
        QTest::newRow("alpha premultiplied")
            << noise(QSize(333, 77), QImage::Format_ARGB32_Premultiplied, 10)
                   .convertToFormat(QImage::Format_ARGB32)
                   .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QTest::newRow("xrgb with stray padding") << xrgbWithStrayPadding(QSize(129, 65));
        QTest::newRow("rgb888 odd width") << noise(QSize(257, 31), QImage::Format_RGB888, 12);
        QTest::newRow("display p3")
            << inColourSpace(desktop(QSize(200, 100), 15), QColorSpace::DisplayP3);
    }

    void roundTripIsBitExact()
    {
        QFETCH(QImage, image);
        ZstdPixelCodec codec;

        const Result<QByteArray> packed = codec.compress(image);
        QVERIFY2(packed.ok(), qPrintable(packed.error()));
        const Result<QImage> back = codec.decompress(packed.value());

        QVERIFY2(back.ok(), qPrintable(back.error()));
        const QImage &decoded = back.value();
        QCOMPARE(decoded.format(), image.format());
        QCOMPARE(decoded.size(), image.size());
        QCOMPARE(decoded.devicePixelRatio(), image.devicePixelRatio());
        QCOMPARE(decoded.colorSpace(), image.colorSpace());
        const size_t lineBytes = (size_t(image.width()) * size_t(image.depth()) + 7) / 8;
        for (int y = 0; y < image.height(); ++y)
            QVERIFY2(std::memcmp(decoded.constScanLine(y), image.constScanLine(y), lineBytes) == 0,
                     qPrintable(QStringLiteral("row %1 differs").arg(y)));
    }

    void textsComeBackUnderTheirKeys_data()
    {
        QTest::addColumn<QStringList>("written"); // key, text, key, text...
        QTest::addColumn<QStringList>("kept");

        QTest::newRow("two keys") << QStringList{"Title", "A: b", "Software", "x"}
                                  << QStringList{"Software", "Title"};
        // Found by fuzzing: QImage::text("") is every text joined, which came back as the
        // text under the empty key.
        QTest::newRow("empty key") << QStringList{"", "", "Title", "a"} << QStringList{"Title"};
        QTest::newRow("only an empty key") << QStringList{"", "comment"} << QStringList{};
    }

    void textsComeBackUnderTheirKeys()
    {
        QFETCH(QStringList, written);
        QFETCH(QStringList, kept);
        QImage image = noise(QSize(3, 2), QImage::Format_RGB32, 4);
        for (qsizetype i = 0; i + 1 < written.size(); i += 2)
            image.setText(written.at(i), written.at(i + 1));

        const Result<QImage> back =
            ZstdPixelCodec().decompress(ZstdPixelCodec().compress(image).value());

        QVERIFY2(back.ok(), qPrintable(back.error()));
        QCOMPARE(back.value().textKeys(), kept);
        for (const QString &key : kept)
            QCOMPARE(back.value().text(key), image.text(key));
    }

    void sizeOfTheCompressedCopy_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<double>("atMost"); // of the raw size

        // Noise cannot shrink, but the padding byte is not stored.
        QTest::newRow("xrgb noise drops the padding")
            << noise(QSize(640, 480), QImage::Format_RGB32, 20) << 0.76;
        QTest::newRow("desktop shrinks a lot") << desktop(QSize(1920, 1080), 21) << 0.05;
        // Left-neighbour differences alone leave 0.38 of it.
        QTest::newRow("photograph grain is mostly shared")
            << photograph(QSize(1280, 720), 22) << 0.35;
    }

    void sizeOfTheCompressedCopy()
    {
        QFETCH(QImage, image);
        QFETCH(double, atMost);
        ZstdPixelCodec codec;

        const Result<QByteArray> packed = codec.compress(image);

        QVERIFY(packed.ok());
        const double ratio = double(packed.value().size()) / double(image.sizeInBytes());
        QVERIFY2(ratio <= atMost, qPrintable(QString::number(ratio)));
    }

    void damagedCopyFailsWithAReason_data()
    {
        QTest::addColumn<QString>("damage");

        QTest::newRow("empty") << "empty";
        QTest::newRow("width") << "width";
        QTest::newRow("cut in the middle") << "half";
        QTest::newRow("one pixel byte flipped") << "flip";
        QTest::newRow("bytes appended") << "append";
        QTest::newRow("unknown row filter") << "filter";
    }

    void damagedCopyFailsWithAReason()
    {
        QFETCH(QString, damage);
        ZstdPixelCodec codec;
        const QImage image = desktop(QSize(800, 600), 30);
        QByteArray packed = codec.compress(image).value();
        // The zstd frame starts with its magic number, right after the header.
        const qsizetype headerSize = packed.indexOf(QByteArray::fromHex("28b52ffd"));
        QVERIFY(headerSize > 0);

        if (damage == "empty")
            packed.clear();
        else if (damage == "width") // the width follows magic, layout and format
            packed[12] = char(packed[12] + 1);
        else if (damage == "half")
            packed.truncate(headerSize + (packed.size() - headerSize) / 2);
        else if (damage == "flip")
            packed[headerSize + (packed.size() - headerSize) / 2] ^= 0x10;
        else if (damage == "append")
            packed.append("more");
        else if (damage == "filter")
            packed = withUnknownRowFilter(packed, headerSize);

        const Result<QImage> back = codec.decompress(packed);

        QVERIFY(!back.ok());
        QVERIFY(!back.error().isEmpty());
        QVERIFY(!codec.compress(QImage()).ok()); // nor is there anything to pack in an empty image
    }
};

QTEST_MAIN(ZstdPixelCodecTest)
#include "ZstdPixelCodecTest.moc"
