#include "editor/tools/ShapeEditing.h"
#include "text/TextMetrics.h"

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

Annotation text(QPointF topLeft, const QString &content, bool plate = false)
{
    Annotation record = Annotation::createText(topLeft, Qt::red, plate, TextDefaults::fontName(),
                                               TextDefaults::fontSize);
    record.textPayload = content;
    return record;
}

Annotation image(QPointF centre, QSize size)
{
    Annotation record = Annotation::create(DrawingTool::DroppedImage, centre, Qt::black);
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::green);
    record.imagePayload = picture;
    return record;
}

// One line of text's height, as the text boxes lay their lines out.
double lineHeight()
{
    const QFont font = TextMetrics::font(TextDefaults::fontName(), TextDefaults::fontSize);
    return TextMetrics::measure(font, QStringLiteral("x")).height();
}

// Shapes under text and images, and over them. Rows: 0 a box (100, 100)-(400, 300); 1 a
// step at (200, y) just under the text's last line; 2 a text box at (92, 150), its lines
// starting at (100, 158): "Hi", an empty one, then a long one; 3 a plated text box at
// (500, 100); 4 a 100 x 50 image centred at (600, 400); 5 a line across the image.
QList<Annotation> layered()
{
    const double h = lineHeight();
    return {shape(DrawingTool::Rectangle, {{100, 100}, {400, 300}}),
            shape(DrawingTool::Step, {{200, 158 + 3 * h + 16}}),
            text({92, 150}, QStringLiteral("Hi\n\nThis line is the widest of the box")),
            text({500, 100}, QStringLiteral("Plated"), true),
            image({600, 400}, {100, 50}),
            shape(DrawingTool::Line, {{550, 400}, {650, 400}})};
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

        const std::optional<int> hit = ShapeEditing::recordAt(scene(), point, 4);

        QCOMPARE(hit.value_or(-1), row);
    }

    // Every kind is hit where it is drawn, topmost first: a text on its lines (beside them
    // the shapes under its box are reached), on its whole plate or, selected, its whole box;
    // an image on its rectangle, under the shapes drawn over it.
    void hitTestingAcrossKinds_data()
    {
        const double h = lineHeight();
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<int>("selectedRow"); // -1: none
        QTest::addColumn<int>("row");
        QTest::newRow("on the text's first line") << QPointF(110, 158 + h / 2) << -1 << 2;
        QTest::newRow("on the text over the box's edge") << QPointF(101, 158 + h / 2) << -1 << 2;
        QTest::newRow("beside the first line, the box's edge under the box")
            << QPointF(400, 158 + h / 2) << -1 << 0;
        QTest::newRow("beside the first line, nothing under it")
            << QPointF(300, 158 + h / 2) << -1 << -1;
        QTest::newRow("the empty line") << QPointF(150, 158 + 1.5 * h) << -1 << -1;
        QTest::newRow("the text's inset above its first line, the box's edge under it")
            << QPointF(100, 152) << -1 << 0;
        QTest::newRow("the step under the last line, below it")
            << QPointF(200, 158 + 3 * h + 20) << -1 << 1;
        QTest::newRow("the step where the last line covers it")
            << QPointF(200, 158 + 3 * h - 2) << -1 << 2;
        QTest::newRow("a selected text, anywhere in its box")
            << QPointF(300, 158 + h / 2) << 2 << 2;
        QTest::newRow("a plated text's corner") << QPointF(502, 102) << -1 << 3;
        QTest::newRow("the image") << QPointF(580, 420) << -1 << 4;
        QTest::newRow("the image, within the slack") << QPointF(580, 428) << -1 << 4;
        QTest::newRow("below the image") << QPointF(580, 431) << -1 << -1;
        QTest::newRow("the line over the image") << QPointF(580, 402) << -1 << 5;
    }

    void hitTestingAcrossKinds()
    {
        QFETCH(QPointF, point);
        QFETCH(int, selectedRow);
        QFETCH(int, row);
        const QList<Annotation> records = layered();
        const std::optional<QUuid> selected =
            selectedRow >= 0 ? std::optional(records.at(selectedRow).id) : std::nullopt;

        const std::optional<int> hit = ShapeEditing::recordAt(records, point, 4, selected);

        QCOMPARE(hit.value_or(-1), row);
    }

    // A handle of the selected shape is pressed before anything drawn over it; with nothing
    // selected the same point is the record on top.
    void handlesComeFirst()
    {
        const Annotation box = shape(DrawingTool::Rectangle, {{150, 150}, {250, 250}});
        const QList<Annotation> records = {box, image({200, 200}, {100, 100})};

        const ShapeEditing::Press onHandle =
            ShapeEditing::pressAt(records, box.id, {153, 153}, 4, 8);
        const ShapeEditing::Press beside = ShapeEditing::pressAt(records, box.id, {160, 160}, 4, 8);
        const ShapeEditing::Press unselected =
            ShapeEditing::pressAt(records, std::nullopt, {153, 153}, 4, 8);

        QCOMPARE(onHandle.row, std::optional<int>(0));
        QCOMPARE(onHandle.handle, std::optional<int>(0));
        QCOMPARE(beside.row, std::optional<int>(1));
        QCOMPARE(beside.handle, std::nullopt);
        QCOMPARE(unselected.row, std::optional<int>(1));
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
