#include "capture/StackGeometry.h"

#include <QTest>

using Rects = QList<QRectF>;
using Sizes = QList<QSizeF>;

class StackGeometryTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void place_data()
    {
        QTest::addColumn<Sizes>("sizes");
        QTest::addColumn<Rects>("rects");
        QTest::addColumn<qreal>("contentHeight");

        QTest::newRow("empty list: no column at all") << Sizes{} << Rects{} << 0.0;
        // 1512 x 982 points: 230 x 149.37 -> 149.
        QTest::newRow("one capture: 40 above, 20 below, centred in 250")
            << Sizes{{1512, 982}} << Rects{{10, 40, 230, 149}} << 40.0 + 149 + 20;
        QTest::newRow("three 16:9 captures, 15 apart")
            << Sizes{{1920, 1080}, {1920, 1080}, {1920, 1080}}
            << Rects{{10, 40, 230, 129}, {10, 184, 230, 129}, {10, 328, 230, 129}}
            << 328.0 + 129 + 20;
        QTest::newRow("mixed sizes stack by their own heights")
            << Sizes{{1000, 1000}, {2000, 500}, {460, 115}}
            << Rects{{10, 40, 230, 230}, {10, 285, 230, 58}, {10, 358, 230, 58}} << 358.0 + 58 + 20;
        QTest::newRow("very tall capture keeps its aspect at 230 wide")
            << Sizes{{100, 10000}, {1920, 1080}}
            << Rects{{10, 40, 230, 23000}, {10, 23055, 230, 129}} << 23055.0 + 129 + 20;
        QTest::newRow("sliver of a capture is at least one point tall")
            << Sizes{{100000, 1}} << Rects{{10, 40, 230, 1}} << 61.0;
        QTest::newRow("degenerate size does not poison the column")
            << Sizes{{0, 0}, {1920, 1080}} << Rects{{10, 40, 230, 1}, {10, 56, 230, 129}}
            << 56.0 + 129 + 20;
    }

    void place()
    {
        QFETCH(Sizes, sizes);
        QFETCH(Rects, rects);
        QFETCH(qreal, contentHeight);

        const StackGeometry::Placement placement = StackGeometry::place(sizes);

        QCOMPARE(placement.rects, rects);
        QCOMPARE(placement.contentHeight, contentHeight);
    }

    void scrolled_data()
    {
        QTest::addColumn<qreal>("from");
        QTest::addColumn<QPointF>("angleDelta");
        QTest::addColumn<QPointF>("pixelDelta");
        QTest::addColumn<qreal>("expected");

        // Content 1000 tall in a view 400 tall: offsets 0..600.
        QTest::newRow("wheel towards the user scrolls down one notch")
            << 0.0 << QPointF(0, -120) << QPointF() << StackGeometry::WheelNotchDistance;
        QTest::newRow("touchpad pixels are used as they are")
            << 50.0 << QPointF(0, -40) << QPointF(0, -17) << 67.0;
        QTest::newRow("never above the top") << 10.0 << QPointF(0, 480) << QPointF() << 0.0;
        QTest::newRow("never past the end") << 590.0 << QPointF(0, -480) << QPointF() << 600.0;
        QTest::newRow("sideways does not scroll")
            << 200.0 << QPointF(-120, 0) << QPointF(-30, 0) << 200.0;
    }

    void scrolled()
    {
        QFETCH(qreal, from);
        QFETCH(QPointF, angleDelta);
        QFETCH(QPointF, pixelDelta);
        QFETCH(qreal, expected);

        QCOMPARE(StackGeometry::scrolled(from, angleDelta, pixelDelta, 1000, 400), expected);
    }

    void shortColumnDoesNotScrollAndAnyWidthCentres()
    {
        QCOMPARE(StackGeometry::scrolled(0, QPointF(0, -120), QPointF(), 300, 400), 0.0);
        const QRectF centred = StackGeometry::place({{800, 600}}, 300).rects.first();
        QCOMPARE(centred.x(), 35.0);
        QCOMPARE(centred.width(), 230.0);
    }

    void roundedRegion_data()
    {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<bool>("inside");

        // A 230 x 129 thumbnail at (10, 40) with corners of 12.
        QTest::newRow("top-left pixel is cut") << QPoint(10, 40) << false;
        QTest::newRow("bottom-right pixel is cut") << QPoint(239, 168) << false;
        QTest::newRow("diagonal just inside the curve") << QPoint(10 + 4, 40 + 4) << true;
        QTest::newRow("diagonal just outside the curve") << QPoint(10 + 3, 40 + 3) << false;
        QTest::newRow("top edge past the corner") << QPoint(10 + 12, 40) << true;
        QTest::newRow("left of it") << QPoint(9, 100) << false;
        QTest::newRow("below it") << QPoint(125, 169) << false;
    }

    void roundedRegion()
    {
        QFETCH(QPoint, point);
        QFETCH(bool, inside);

        const QRegion region = StackGeometry::roundedRegion(QRect(10, 40, 230, 129), 12);

        QCOMPARE(region.contains(point), inside);
    }

    void roundedRegionStaysWithinItsRectangle()
    {
        QCOMPARE(StackGeometry::roundedRegion(QRect(0, 0, 60, 30), 12).boundingRect(),
                 QRect(0, 0, 60, 30));
        // Rectangles smaller than the corners keep a region; an empty one has none.
        QCOMPARE(StackGeometry::roundedRegion(QRect(5, 5, 4, 1), 12).boundingRect(),
                 QRect(5, 5, 4, 1));
        QVERIFY(StackGeometry::roundedRegion(QRect(), 12).isEmpty());
    }
};

QTEST_GUILESS_MAIN(StackGeometryTest)
#include "StackGeometryTest.moc"
