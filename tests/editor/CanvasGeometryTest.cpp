#include "editor/viewport/CanvasGeometry.h"
#include "editor/render/ShapePaths.h"

#include <QPainterPath>
#include <QTest>

#include <cmath>

using namespace CanvasGeometry;

namespace {

bool near(QPointF a, QPointF b, double tolerance = 0.01)
{
    return std::abs(a.x() - b.x()) <= tolerance && std::abs(a.y() - b.y()) <= tolerance;
}

QList<QPointF> elementsOf(const QPainterPath &path)
{
    QList<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i)
        points.append(QPointF(path.elementAt(i).x, path.elementAt(i).y));
    return points;
}

} // namespace

class CanvasGeometryTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fit_data()
    {
        QTest::addColumn<QSizeF>("area");
        QTest::addColumn<QSizeF>("image");
        QTest::addColumn<QSizeF>("fitted");
        QTest::addColumn<QSizeF>("margins");

        QTest::newRow("wide area: fills the height") << QSizeF(1000, 500) << QSizeF(1600, 1200)
                                                     << QSizeF(666.667, 500) << QSizeF(166.667, 0);
        QTest::newRow("tall area: fills the width")
            << QSizeF(500, 1000) << QSizeF(1600, 1200) << QSizeF(500, 375) << QSizeF(0, 312.5);
        QTest::newRow("same proportions")
            << QSizeF(800, 600) << QSizeF(1600, 1200) << QSizeF(800, 600) << QSizeF(0, 0);
        QTest::newRow("small capture is enlarged")
            << QSizeF(940, 574) << QSizeF(200, 100) << QSizeF(940, 470) << QSizeF(0, 52);
        QTest::newRow("no area yet")
            << QSizeF(0, 0) << QSizeF(1600, 1200) << QSizeF(0, 0) << QSizeF(0, 0);
        QTest::newRow("no capture")
            << QSizeF(1000, 500) << QSizeF() << QSizeF(0, 0) << QSizeF(500, 250);
    }

    void fit()
    {
        QFETCH(QSizeF, area);
        QFETCH(QSizeF, image);
        QFETCH(QSizeF, fitted);
        QFETCH(QSizeF, margins);

        const QSizeF dW = fittedSize(area, image);
        const QSizeF offset = CanvasGeometry::margins(area, dW);

        QVERIFY2(std::abs(dW.width() - fitted.width()) < 0.001 &&
                     std::abs(dW.height() - fitted.height()) < 0.001,
                 qPrintable(QStringLiteral("%1 x %2").arg(dW.width()).arg(dW.height())));
        QVERIFY(std::abs(offset.width() - margins.width()) < 0.001);
        QVERIFY(std::abs(offset.height() - margins.height()) < 0.001);
    }

    // Where a canvas point is not given, only the round trip is checked.
    void viewToCanvas_data()
    {
        QTest::addColumn<QSizeF>("area");
        QTest::addColumn<QSizeF>("canvas");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QSizeF>("pan");
        QTest::addColumn<QPointF>("v");
        QTest::addColumn<QPointF>("c");

        const QSizeF area(1000, 500), none(0, 0);
        const QPointF any(qQNaN(), qQNaN());
        QTest::newRow("centre at zoom 1")
            << area << none << 1.0 << none << QPointF(500, 250) << QPointF(333.33, 250);
        QTest::newRow("zoom 2, pan (100, 0)")
            << area << none << 2.0 << QSizeF(100, 0) << QPointF(500, 250) << QPointF(283.33, 250);
        QTest::newRow("capture's top-left at zoom 1")
            << area << none << 1.0 << none << QPointF(166.667, 0) << QPointF(0, 0);
        QTest::newRow("panned by (-40, 30)")
            << area << none << 1.0 << QSizeF(-40, 30) << QPointF(126.667, 30) << QPointF(0, 0);
        QTest::newRow("zoom 0.5 doubles distances from the centre")
            << area << none << 0.5 << none << QPointF(600, 300) << QPointF(533.33, 350);
        QTest::newRow("zoomed and panned")
            << area << none << 3.7 << QSizeF(-250, 80.5) << QPointF(999, 0) << any;
        QTest::newRow("tiny zoom")
            << area << none << 0.0001 << QSizeF(5, 5) << QPointF(500.25, 249.75) << any;
        QTest::newRow("huge zoom")
            << area << none << 1e6 << QSizeF(3e6, -2e6) << QPointF(1, 499) << any;
        // Canvas space from a 1000 x 500 area, stretched onto a 1500 x 1000 one: twice the size.
        QTest::newRow("after a resize, the capture's corner")
            << QSizeF(1500, 1000) << QSizeF(666.667, 500) << 1.0 << none << QPointF(83.333, 0)
            << QPointF(0, 0);
        QTest::newRow("after a resize, zoomed") << QSizeF(1400, 900) << QSizeF(666.667, 500) << 1.5
                                                << QSizeF(12, -7) << QPointF(321, 654) << any;
    }

    void viewToCanvas()
    {
        QFETCH(QSizeF, area);
        QFETCH(QSizeF, canvas);
        QFETCH(double, zoom);
        QFETCH(QSizeF, pan);
        QFETCH(QPointF, v);
        QFETCH(QPointF, c);
        const View view = makeView(area, QSizeF(1600, 1200), canvas, zoom, pan);

        const QPointF converted = CanvasGeometry::viewToCanvas(v, view);

        if (!std::isnan(c.x()))
            QVERIFY2(near(converted, c),
                     qPrintable(QStringLiteral("(%1, %2)").arg(converted.x()).arg(converted.y())));
        QVERIFY(near(canvasToView(converted, view), v, 1e-6));
        QVERIFY(near(canvasTransform(view).map(converted), v, 1e-6));
    }

    void arrowWings_data()
    {
        QTest::addColumn<QPointF>("start");
        QTest::addColumn<QPointF>("tip");
        QTest::addColumn<QPointF>("a");
        QTest::addColumn<QPointF>("b");

        QTest::newRow("along +x") << QPointF(0, 0) << QPointF(100, 0) << QPointF(81.813, 10.5)
                                  << QPointF(81.813, -10.5);
        QTest::newRow("coinciding ends open to the left")
            << QPointF(50, 50) << QPointF(50, 50) << QPointF(31.813, 60.5) << QPointF(31.813, 39.5);
        QTest::newRow("straight down")
            << QPointF(0, 0) << QPointF(0, 100) << QPointF(-10.5, 81.813) << QPointF(10.5, 81.813);
        QTest::newRow("leftwards")
            << QPointF(100, 0) << QPointF(0, 0) << QPointF(18.187, -10.5) << QPointF(18.187, 10.5);
    }

    void arrowWings()
    {
        QFETCH(QPointF, start);
        QFETCH(QPointF, tip);
        QFETCH(QPointF, a);
        QFETCH(QPointF, b);

        QCOMPARE(ShapePaths::arrowHeadLength(4), 21.0);
        const auto [wingA, wingB] = ShapePaths::arrowWings(start, tip, 21);

        QVERIFY2(near(wingA, a),
                 qPrintable(QStringLiteral("A (%1, %2)").arg(wingA.x()).arg(wingA.y())));
        QVERIFY2(near(wingB, b),
                 qPrintable(QStringLiteral("B (%1, %2)").arg(wingB.x()).arg(wingB.y())));
    }

    void arrowPathIsShaftThenOpenHead()
    {
        Annotation arrow = Annotation::create(DrawingTool::Arrow, QPointF(0, 0), Qt::red);
        arrow.points.append(QPointF(40, 40)); // ignored: only the ends count
        arrow.points.append(QPointF(100, 0));

        const QPainterPath path = ShapePaths::shapePath(arrow);

        QCOMPARE(path.elementCount(), 5);
        QVERIFY(path.elementAt(0).isMoveTo() && path.elementAt(2).isMoveTo());
        QCOMPARE(QPointF(path.elementAt(1)), QPointF(100, 0));
        QVERIFY(near(QPointF(path.elementAt(2)), QPointF(81.813, 10.5)));
        QCOMPARE(QPointF(path.elementAt(3)), QPointF(100, 0));
        QVERIFY(near(QPointF(path.elementAt(4)), QPointF(81.813, -10.5)));
    }

    void rectangleFromAnyCorners_data()
    {
        QTest::addColumn<QPointF>("first");
        QTest::addColumn<QPointF>("last");

        QTest::newRow("reversed") << QPointF(50, 80) << QPointF(10, 20);
        QTest::newRow("in order") << QPointF(10, 20) << QPointF(50, 80);
        QTest::newRow("other diagonal") << QPointF(10, 80) << QPointF(50, 20);
    }

    void rectangleFromAnyCorners()
    {
        QFETCH(QPointF, first);
        QFETCH(QPointF, last);
        Annotation box = Annotation::create(DrawingTool::Rectangle, first, Qt::red);
        box.points.append(QPointF(500, 500)); // middle samples play no part
        box.points.append(last);

        QCOMPARE(ShapePaths::rectangleFrom(first, last), QRectF(10, 20, 40, 60));
        QCOMPARE(ShapePaths::shapePath(box).boundingRect(), QRectF(10, 20, 40, 60));
    }

    void pathsByType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("elements");

        QTest::newRow("pen of one point: a lone move") << int(DrawingTool::Pen) << 1 << 1;
        QTest::newRow("pen of two points: one segment") << int(DrawingTool::Pen) << 2 << 2;
        QTest::newRow("pen: every sample") << int(DrawingTool::Pen) << 7 << 7;
        QTest::newRow("line: first and last") << int(DrawingTool::Line) << 7 << 2;
        // Qt drops a segment to the point it starts from: nothing is drawn.
        QTest::newRow("line of one point: zero length") << int(DrawingTool::Line) << 1 << 1;
        QTest::newRow("text draws nothing") << int(DrawingTool::Text) << 3 << 0;
        QTest::newRow("image draws nothing") << int(DrawingTool::DroppedImage) << 1 << 0;
        QTest::newRow("pan draws nothing") << int(DrawingTool::Pan) << 2 << 0;
    }

    void pathsByType()
    {
        QFETCH(int, type);
        QFETCH(int, points);
        QFETCH(int, elements);
        Annotation record = Annotation::create(DrawingTool(type), QPointF(1, 1), Qt::red);
        for (int i = 1; i < points; ++i)
            record.points.append(QPointF(1 + i * 10, 1 + i * i));

        const QPainterPath path = ShapePaths::shapePath(record);

        QCOMPARE(path.elementCount(), elements);
        if (DrawingTool(type) == DrawingTool::Pen)
            QCOMPARE(elementsOf(path), record.points);
    }

    void pensPerTarget_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("cap");
        QTest::addColumn<int>("join");

        const int screen = int(ShapePaths::ShapeTarget::screen);
        const int image = int(ShapePaths::ShapeTarget::image);
        QTest::newRow("pen") << int(DrawingTool::Pen) << screen << int(Qt::RoundCap)
                             << int(Qt::RoundJoin);
        QTest::newRow("box") << int(DrawingTool::Rectangle) << screen << int(Qt::FlatCap)
                             << int(Qt::SvgMiterJoin);
        QTest::newRow("line") << int(DrawingTool::Line) << screen << int(Qt::RoundCap)
                              << int(Qt::SvgMiterJoin);
        QTest::newRow("arrow") << int(DrawingTool::Arrow) << screen << int(Qt::RoundCap)
                               << int(Qt::RoundJoin);
        QTest::newRow("box saved")
            << int(DrawingTool::Rectangle) << image << int(Qt::RoundCap) << int(Qt::RoundJoin);
        QTest::newRow("line saved")
            << int(DrawingTool::Line) << image << int(Qt::RoundCap) << int(Qt::RoundJoin);
    }

    void pensPerTarget()
    {
        QFETCH(int, type);
        QFETCH(int, target);
        QFETCH(int, cap);
        QFETCH(int, join);
        const QColor translucent(10, 20, 30, 128);
        const Annotation record = Annotation::create(DrawingTool(type), QPointF(), translucent);

        const QPen pen = ShapePaths::shapePen(record, ShapePaths::ShapeTarget(target), 2);

        QCOMPARE(int(pen.capStyle()), cap);
        QCOMPARE(int(pen.joinStyle()), join);
        QCOMPARE(pen.widthF(), 8.0);
        QCOMPARE(pen.miterLimit(), 10.0);
        QCOMPARE(pen.style(), Qt::SolidLine);
        QCOMPARE(pen.color(), translucent);
    }
};

QTEST_GUILESS_MAIN(CanvasGeometryTest)
#include "CanvasGeometryTest.moc"
