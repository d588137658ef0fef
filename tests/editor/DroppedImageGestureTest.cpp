#include "editor/DroppedImageGesture.h"
#include "editor/EditorFixture.h"

#include <QTest>

namespace {

/// An editor with one 100 x 50 image record at (300, 200), scale 1, and a gesture on it.
struct ImageOnCanvas : EditorFixture
{
    ImageOnCanvas()
    {
        if (!ready)
            return;
        Annotation record = Annotation::create(DrawingTool::DroppedImage, {300, 200}, Qt::red);
        QImage image(100, 50, QImage::Format_RGB32);
        image.fill(Qt::green);
        record.imagePayload = image;
        state->document()->add(record);
        id = record.id;
        gesture.setEditor(state.get());
        gesture.setAnnotationId(id.toString(QUuid::WithoutBraces));
        gesture.begin(record.points.first(), record.imageScale);
    }

    const Annotation &record() const { return state->document()->records()->at(0); }

    QUuid id;
    DroppedImageGesture gesture;
};

} // namespace

class DroppedImageGestureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resizeKeepsTheCentreAndTheRatio_data()
    {
        QTest::addColumn<double>("startScale");
        QTest::addColumn<double>("dx");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("scale");

        QTest::newRow("30 right on a 100-wide image") << 1.0 << 30.0 << 1.0 << 100.0 << 1.6;
        QTest::newRow("at zoom 2 half as far") << 1.0 << 30.0 << 2.0 << 100.0 << 1.3;
        QTest::newRow("from scale 2") << 2.0 << 10.0 << 1.0 << 50.0 << 2.4;
        QTest::newRow("far left stops at 0.1") << 1.0 << -1000.0 << 1.0 << 100.0 << 0.1;
        QTest::newRow("no width counts as 1") << 1.0 << 1.0 << 1.0 << 0.0 << 3.0;
        QTest::newRow("no upper limit") << 1.0 << 5000.0 << 1.0 << 100.0 << 101.0;
    }

    void resizeKeepsTheCentreAndTheRatio()
    {
        QFETCH(double, startScale);
        QFETCH(double, dx);
        QFETCH(double, zoom);
        QFETCH(double, width);
        QFETCH(double, scale);
        DroppedImageGesture gesture;
        gesture.begin({10, 10}, startScale);

        gesture.resizeChanged(dx, zoom, width);

        QCOMPARE(gesture.dragScale(), scale);
        QCOMPARE(gesture.dragPos(), QPointF(10, 10));
    }

    // While a gesture lasts the record is shown where the view is (so that the canvas stacks
    // it right); each ended gesture is one step of the history.
    void eachGestureIsOneStepOfTheHistory()
    {
        ImageOnCanvas c;
        QVERIFY(c.ready);
        c.state->tools()->setCurrentTool(DrawingTool::Pointer);

        c.gesture.moveChanged({40, 0}, 2);
        c.gesture.moveChanged({100, 40}, 2);
        QCOMPARE(c.gesture.dragPos(), QPointF(350, 220));
        QCOMPARE(c.record().points.first(), QPointF(350, 220));
        c.gesture.moveEnded();
        QCOMPARE(c.record().points.first(), QPointF(350, 220));
        c.state->undo();
        QCOMPARE(c.record().points.first(), QPointF(300, 200));
        c.state->redo();

        // The next move starts where this one ended.
        c.gesture.moveChanged({-10, 0}, 1);
        QCOMPARE(c.gesture.dragPos(), QPointF(340, 220));
        c.gesture.moveEnded();

        c.gesture.resizeChanged(30, 1, 100);
        QCOMPARE(c.record().imageScale, 1.6);
        c.gesture.resizeEnded();
        QCOMPARE(c.record().imageScale, 1.6);
        c.state->undo();
        QCOMPARE(c.record().imageScale, 1.0);
        c.state->redo();
        c.gesture.resizeChanged(0, 1, 100); // the next resize starts from the new scale
        QCOMPARE(c.gesture.dragScale(), 1.6);
        c.gesture.resizeEnded();
        QCOMPARE(c.record().points.first(), QPointF(340, 220));
    }

    // A grab taken away (the view hidden, another item stealing it) ends nothing: the image
    // is shown from its record again, and the release that may still come does nothing.
    void aCancelledGestureGoesBackToTheRecord()
    {
        ImageOnCanvas c;
        QVERIFY(c.ready);
        c.state->tools()->setCurrentTool(DrawingTool::Pointer);

        c.gesture.moveChanged({100, 40}, 2);
        c.gesture.moveCancelled();
        QCOMPARE(c.gesture.dragPos(), QPointF(300, 200));
        QCOMPARE(c.record().points.first(), QPointF(300, 200));
        c.gesture.moveEnded();
        QCOMPARE(c.record().points.first(), QPointF(300, 200));

        c.gesture.resizeChanged(30, 1, 100);
        c.gesture.resizeCancelled();
        QCOMPARE(c.gesture.dragScale(), 1.0);
        c.gesture.resizeEnded();
        QCOMPARE(c.record().imageScale, 1.0);

        // While a resize is on, a move is refused, and the other way round.
        c.gesture.resizeChanged(30, 1, 100);
        c.gesture.moveChanged({100, 40}, 2);
        QCOMPARE(c.gesture.dragPos(), QPointF(300, 200));
        c.gesture.resizeEnded();
        QCOMPARE(c.record().imageScale, 1.6);
    }

    void aMoveSelectsOnlyWithTheSelectTool_data()
    {
        QTest::addColumn<int>("tool");
        QTest::addColumn<bool>("selects");

        QTest::newRow("select") << int(DrawingTool::Pointer) << true;
        QTest::newRow("pen") << int(DrawingTool::Pen) << false;
        QTest::newRow("text") << int(DrawingTool::Text) << false;
    }

    void aMoveSelectsOnlyWithTheSelectTool()
    {
        QFETCH(int, tool);
        QFETCH(bool, selects);
        ImageOnCanvas c;
        QVERIFY(c.ready);
        c.state->tools()->chooseSwatch(1);
        c.state->tools()->setCurrentTool(DrawingTool(tool));

        c.gesture.moveChanged({0, 0}, 1);

        QCOMPARE(c.state->document()->selection() == c.id, selects);
        QCOMPARE(c.state->tools()->color(), selects ? QColor(Qt::red) : QColor(Qt::blue));
    }

    void unusableZoomsMoveNothing()
    {
        DroppedImageGesture gesture;
        gesture.begin({10, 10}, 1);

        gesture.moveChanged({5, 5}, 0);
        gesture.resizeChanged(5, std::numeric_limits<double>::infinity(), 100);

        QCOMPARE(gesture.dragPos(), QPointF(10, 10));
        QCOMPARE(gesture.dragScale(), 1.0);
    }
};

QTEST_MAIN(DroppedImageGestureTest)
#include "DroppedImageGestureTest.moc"
