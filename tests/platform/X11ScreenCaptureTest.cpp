#include "platform/X11ScreenCapture.h"

#include <QTest>

#include <cstring>

// Capturing from a real X server is checked end to end; here: how the server's pixels
// become the picture.
class X11ScreenCaptureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every pixel keeps its colour and is opaque, whatever the server left in the top byte
    // (zero on a depth-24 screen).
    void pixelsBecomeOpaqueRgb32_data()
    {
        QTest::addColumn<quint32>("topByte");
        QTest::addColumn<QSize>("size");

        QTest::newRow("depth 24: zero") << quint32(0x00) << QSize(5, 3);
        QTest::newRow("depth 32: set") << quint32(0xff) << QSize(5, 3);
        QTest::newRow("anything") << quint32(0x3c) << QSize(1, 7);
    }
    void pixelsBecomeOpaqueRgb32()
    {
        QFETCH(quint32, topByte);
        QFETCH(QSize, size);
        QList<quint32> pixels;
        for (int i = 0; i < size.width() * size.height(); ++i)
            pixels.append((topByte << 24) | quint32(0x010203 * (i + 1)));
        QByteArray data(pixels.size() * 4, Qt::Uninitialized);
        std::memcpy(data.data(), pixels.constData(), size_t(data.size()));

        const QImage image = X11ScreenCapture::opaqueImage(
            reinterpret_cast<const uint8_t *>(data.constData()), size);

        QCOMPARE(image.format(), QImage::Format_RGB32);
        QCOMPARE(image.size(), size);
        for (int y = 0; y < size.height(); ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < size.width(); ++x)
                QCOMPARE(row[x], 0xff000000u | (pixels[y * size.width() + x] & 0xffffffu));
        }
    }
};

QTEST_MAIN(X11ScreenCaptureTest)
#include "X11ScreenCaptureTest.moc"
