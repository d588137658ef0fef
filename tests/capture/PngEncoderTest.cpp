#include "capture/PngEncoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTest>
#include <cstring>

namespace {

QImage noise(QSize size, QImage::Format format, quint32 variant, bool randomAlpha = false)
{
    QImage image(size, format);
    QRandomGenerator random(variant);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const quint32 value = random.generate();
            const int alpha = randomAlpha ? int(value >> 24) : 255;
            image.setPixelColor(x, y,
                                QColor(int(value & 0xff), int((value >> 8) & 0xff),
                                       int((value >> 16) & 0xff), alpha));
        }
    }
    return image;
}

QImage filled(QSize size, QImage::Format format, QColor color)
{
    QImage image(size, format);
    image.fill(color);
    return image;
}

} // namespace

class PngEncoderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodesToTheSamePixels_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<bool>("storesAlpha");

        QTest::newRow("1x1") << filled({1, 1}, QImage::Format_RGB32, QColor(12, 34, 56)) << false;
        QTest::newRow("odd width, noise") << noise({333, 17}, QImage::Format_RGB32, 1) << false;
        QTest::newRow("one column") << noise({1, 999}, QImage::Format_RGB32, 3) << false;
        QTest::newRow("4K-ish noise") << noise({3840, 1100}, QImage::Format_RGB32, 4) << false;
        QTest::newRow("opaque ARGB32 is stored without alpha")
            << noise({257, 31}, QImage::Format_ARGB32, 5) << false;
        QTest::newRow("alpha, premultiplied")
            << noise({77, 33}, QImage::Format_ARGB32_Premultiplied, 8, true) << true;
        QTest::newRow("fully transparent")
            << filled({40, 20}, QImage::Format_ARGB32, Qt::transparent) << true;
    }

    void decodesToTheSamePixels()
    {
        QFETCH(QImage, image);
        QFETCH(bool, storesAlpha);

        const Result<QByteArray> png = PngEncoder::encode(image);

        QVERIFY2(png.ok(), qPrintable(png.error()));
        QBuffer buffer;
        buffer.setData(png.value());
        QImageReader reader(&buffer, "png");
        const QImage decoded = reader.read();
        QVERIFY2(!decoded.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(decoded.size(), image.size());
        QCOMPARE(decoded.hasAlphaChannel(), storesAlpha);
        // Straight (not premultiplied) ARGB is what a PNG holds.
        const QImage expected = image.convertToFormat(QImage::Format_ARGB32);
        const QImage actual = decoded.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            if (std::memcmp(expected.constScanLine(y), actual.constScanLine(y),
                            size_t(image.width()) * 4) != 0) {
                QFAIL(qPrintable(QStringLiteral("row %1 differs").arg(y)));
            }
        }
    }

    void emptyImageFailsWithAReason()
    {
        const Result<QByteArray> png = PngEncoder::encode(QImage());

        QVERIFY(!png.ok());
        QVERIFY(!png.error().isEmpty());
    }
};

QTEST_GUILESS_MAIN(PngEncoderTest)
#include "PngEncoderTest.moc"
