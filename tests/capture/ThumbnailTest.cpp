#include "capture/Thumbnail.h"
#include "capture/StackGeometry.h"
#include "capture/ThumbnailShadow.h"

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

    void shadowPatchIsSoftBlackAtThirtyPercent_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("ratio 1") << 1.0;
        QTest::newRow("ratio 2") << 2.0;
    }

    void shadowPatchIsSoftBlackAtThirtyPercent()
    {
        QFETCH(qreal, ratio);

        const QImage patch = ThumbnailShadow::patchImage(ratio);
        const int border = ThumbnailShadow::patchBorder(ratio);

        QCOMPARE(patch.size(), QSize(2 * border + 1, 2 * border + 1));
        const int middle = border;
        // Full shadow inside, none at the outer edge, a fall-off in between.
        QCOMPARE(qAlpha(patch.pixel(middle, middle)), qRound(255 * StackGeometry::ShadowOpacity));
        QCOMPARE(qAlpha(patch.pixel(0, middle)), 0);
        QCOMPARE(qAlpha(patch.pixel(middle, 0)), 0);
        QCOMPARE(qAlpha(patch.pixel(0, 0)), 0);
        const int spread = int(ThumbnailShadow::extent() * ratio);
        const int atEdge = qAlpha(patch.pixel(spread, middle));
        QVERIFY(atEdge > 10 && atEdge < 70);
        QCOMPARE(qRed(patch.pixel(middle, middle)), 0);
        // Symmetric, so the nine patches meet without seams.
        for (int i = 0; i < patch.width(); ++i) {
            QCOMPARE(patch.pixel(i, middle), patch.pixel(patch.width() - 1 - i, middle));
            QCOMPARE(patch.pixel(middle, i), patch.pixel(i, middle));
        }
    }
};

QTEST_MAIN(ThumbnailTest)
#include "ThumbnailTest.moc"
