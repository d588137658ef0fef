#include "editor/tools/ShapeEditing.h"

#include <QTest>

namespace {

Annotation shape(DrawingTool type, QList<QPointF> points, double width = 4)
{
    Annotation record = Annotation::create(type, points.first(), Qt::red);
    record.points = points;
    record.lineWidth = width;
    return record;
}

// Rows: 0 a box, 1 a line, 2 a step, 3 a pen stroke, 4 an ellipse over the box's top edge,
// 5 a redaction.
QList<Annotation> scene()
{
    return {shape(DrawingTool::Rectangle, {{100, 100}, {200, 200}}),
            shape(DrawingTool::Line, {{300, 100}, {400, 200}}, 8),
            shape(DrawingTool::Step, {{500, 150}}),
            shape(DrawingTool::Pen, {{100, 300}, {150, 320}, {200, 300}}),
            shape(DrawingTool::Ellipse, {{120, 90}, {180, 110}}),
            shape(DrawingTool::Redact, {{700, 200}, {600, 100}})};
}

} // namespace

class ShapeEditingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A press hits the drawn shape (a stroke within half its width plus the slack, a step
    // anywhere inside), the topmost first; an empty box's inside is not the box.
    void hitTesting_data()
    {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<int>("row"); // -1: none
        QTest::newRow("box outline") << QPointF(100, 150) << 0;
        QTest::newRow("box outline, within the slack") << QPointF(95.5, 150) << 0;
        QTest::newRow("beyond the box's outline and slack") << QPointF(93, 150) << -1;
        QTest::newRow("inside an empty box") << QPointF(150, 150) << -1;
        QTest::newRow("line, within its half width plus slack") << QPointF(355, 145) << 1;
        QTest::newRow("beside the line") << QPointF(360, 140) << -1;
        QTest::newRow("past the line's end") << QPointF(410, 210) << -1;
        QTest::newRow("inside a step") << QPointF(510, 150) << 2;
        QTest::newRow("outside a step") << QPointF(525, 150) << -1;
        QTest::newRow("along a pen stroke") << QPointF(125, 310) << 3;
        QTest::newRow("under a pen stroke's bend") << QPointF(150, 300) << -1;
        QTest::newRow("where the ellipse crosses the box") << QPointF(120, 100) << 4;
        QTest::newRow("the box's edge inside the empty ellipse") << QPointF(150, 100) << 0;
        QTest::newRow("inside a redaction") << QPointF(650, 150) << 5;
        QTest::newRow("beside a redaction") << QPointF(706, 150) << -1;
    }

    void hitTesting()
    {
        QFETCH(QPointF, point);
        QFETCH(int, row);

        const std::optional<int> hit = ShapeEditing::shapeAt(scene(), point, 4);

        QCOMPARE(hit.value_or(-1), row);
    }

    // A corner of a box goes where it is dragged and the opposite one stays; a line's end
    // moves alone; a stroke scales about the opposite corner of its frame.
    void handlesReshape_data()
    {
        QTest::addColumn<Annotation>("record");
        QTest::addColumn<int>("handle");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<QList<QPointF>>("handlesAfter");
        QTest::newRow("box, bottom-right corner")
            << shape(DrawingTool::Rectangle, {{100, 100}, {200, 200}}) << 2 << QPointF(250, 260)
            << QList<QPointF>{{100, 100}, {250, 100}, {250, 260}, {100, 260}};
        QTest::newRow("ellipse drawn up-left, its top-left corner")
            << shape(DrawingTool::Ellipse, {{200, 200}, {100, 100}}) << 0 << QPointF(50, 80)
            << QList<QPointF>{{50, 80}, {200, 80}, {200, 200}, {50, 200}};
        QTest::newRow("a corner dragged past the opposite one")
            << shape(DrawingTool::Rectangle, {{100, 100}, {200, 200}}) << 1 << QPointF(50, 250)
            << QList<QPointF>{{50, 200}, {100, 200}, {100, 250}, {50, 250}};
        QTest::newRow("arrow's tip") << shape(DrawingTool::Arrow, {{10, 10}, {100, 100}}) << 1
                                     << QPointF(40, 90) << QList<QPointF>{{10, 10}, {40, 90}};
        QTest::newRow("line's start") << shape(DrawingTool::Line, {{10, 10}, {100, 100}}) << 0
                                      << QPointF(0, 50) << QList<QPointF>{{0, 50}, {100, 100}};
        QTest::newRow("stroke, twice the size")
            << shape(DrawingTool::Highlighter, {{0, 0}, {50, 100}, {100, 50}}) << 2
            << QPointF(200, 200) << QList<QPointF>{{0, 0}, {200, 0}, {200, 200}, {0, 200}};
        QTest::newRow("a step has no handle")
            << shape(DrawingTool::Step, {{10, 10}}) << 0 << QPointF(90, 90) << QList<QPointF>{};
    }

    void handlesReshape()
    {
        QFETCH(Annotation, record);
        QFETCH(int, handle);
        QFETCH(QPointF, to);
        QFETCH(QList<QPointF>, handlesAfter);

        const Annotation reshaped = ShapeEditing::reshaped(record, handle, to);

        QCOMPARE(ShapeEditing::handles(reshaped), handlesAfter);
        QCOMPARE(reshaped.id, record.id);
    }

    void theNearestHandleWithinTheSlackIsTaken()
    {
        const Annotation box = shape(DrawingTool::Rectangle, {{100, 100}, {110, 110}});

        QCOMPARE(ShapeEditing::handleAt(box, {104, 104}, 8), std::optional<int>(0));
        QCOMPARE(ShapeEditing::handleAt(box, {107, 106}, 8), std::optional<int>(2));
        QCOMPARE(ShapeEditing::handleAt(box, {90, 90}, 8), std::nullopt);
    }
};

QTEST_MAIN(ShapeEditingTest)
#include "ShapeEditingTest.moc"
