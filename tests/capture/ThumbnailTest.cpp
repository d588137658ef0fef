#include "capture/Thumbnail.h"
#include "capture/StackGeometry.h"

#include <QTest>

class ThumbnailTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundedAtTheScreensRatio_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QSize>("pixels");
        QTest::newRow("ratio 1") << 1.0 << QSize(230, 129);
        QTest::newRow("ratio 2") << 2.0 << QSize(460, 259);
    }

    void roundedAtTheScreensRatio()
    {
        QFETCH(qreal, ratio);
        QFETCH(QSize, pixels);
        QImage capture(1920, 1080, QImage::Format_RGB32);
        capture.fill(QColor(200, 40, 10));

        const QImage thumbnail = Thumbnail::make(capture, 230, ratio);

        QCOMPARE(thumbnail.size(), pixels);
        QCOMPARE(thumbnail.devicePixelRatio(), ratio);
        const int w = pixels.width() - 1;
        const int h = pixels.height() - 1;
        // Corner pixels are cut away; the edges beyond the curve and the middle are the picture.
        for (const QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)})
            QCOMPARE(qAlpha(thumbnail.pixel(corner)), 0);
        const int radius = int(StackGeometry::CornerRadius * ratio);
        for (const QPoint edge :
             {QPoint(radius, 0), QPoint(0, radius), QPoint(w - radius, h), QPoint(w / 2, h / 2)})
            QCOMPARE(thumbnail.pixelColor(edge), QColor(200, 40, 10));
    }
};

QTEST_MAIN(ThumbnailTest)
#include "ThumbnailTest.moc"
