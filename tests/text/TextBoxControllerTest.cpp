#include "text/TextBoxController.h"
#include "editor/EditorFixture.h"
#include "fakes/ManualClock.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

/** One text record in an editor and a controller for its box, on a hand-driven clock. */
struct Box
{
    explicit Box(const QString &text = QStringLiteral("note"), QPointF at = {100, 100},
                 bool appear = true)
    {
        if (!f.ready)
            return;
        Annotation record =
            Annotation::createText(at, Qt::red, false, QStringLiteral("DejaVu Sans"), 24);
        record.textPayload = text;
        id = record.id;
        f.state->document()->add(record);
        box = std::make_unique<TextBoxController>();
        box->setClock(&clock, [this] { return clock.now(); });
        box->setEditor(f.state.get());
        box->setAnnotationId(id.toString(QUuid::WithoutBraces));
        box->setText(text);
        if (appear)
            box->appear();
    }

    Annotation record() const
    {
        const int row = f.state->document()->records()->indexOf(id);
        return row >= 0 ? f.state->document()->records()->at(row) : Annotation();
    }

    // A press and release that moved `travel` window points, `afterMs` after the last one.
    void tap(qint64 afterMs, QPointF travel = {})
    {
        clock.advance(afterMs);
        box->moveChanged({});
        box->moveEnded(travel);
    }

    EditorFixture f;
    ManualClock clock;
    QUuid id;
    std::unique_ptr<TextBoxController> box;
};

} // namespace

class TextBoxControllerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void doubleTapStartsEditing_data()
    {
        QTest::addColumn<qint64>("moveAtMs"); // -1: no move between the taps
        QTest::addColumn<QPointF>("moveTravel");
        QTest::addColumn<qint64>("secondTapMs");
        QTest::addColumn<QPointF>("secondTravel");
        QTest::addColumn<bool>("editing");

        QTest::newRow("0.39 s apart")
            << qint64(-1) << QPointF() << qint64(390) << QPointF() << true;
        QTest::newRow("0.41 s apart")
            << qint64(-1) << QPointF() << qint64(410) << QPointF() << false;
        QTest::newRow("second press moved 4.9")
            << qint64(-1) << QPointF() << qint64(200) << QPointF(4.9, 0) << true;
        QTest::newRow("second press moved 5 is a move")
            << qint64(-1) << QPointF() << qint64(200) << QPointF(3, 4) << false;
        // The move at 0.3 s leaves the last tap at 0: the tap at 0.45 s is 0.45 s after it.
        QTest::newRow("a move between does not refresh the last tap")
            << qint64(300) << QPointF(0, 5) << qint64(450) << QPointF() << false;
        QTest::newRow("a move between does not break a double tap")
            << qint64(100) << QPointF(0, 50) << qint64(390) << QPointF() << true;
    }

    void doubleTapStartsEditing()
    {
        QFETCH(qint64, moveAtMs);
        QFETCH(QPointF, moveTravel);
        QFETCH(qint64, secondTapMs);
        QFETCH(QPointF, secondTravel);
        QFETCH(bool, editing);
        Box b;
        QVERIFY(b.f.ready);
        b.f.state->tools()->setCurrentTool(DrawingTool::Pointer);
        QSignalSpy focusRequests(b.box.get(), &TextBoxController::focusRequested);
        b.clock.advance(10'000);

        b.tap(0);
        qint64 elapsed = 0;
        if (moveAtMs >= 0) {
            b.tap(moveAtMs, moveTravel);
            elapsed = moveAtMs;
        }
        b.tap(secondTapMs - elapsed, secondTravel);

        QCOMPARE(b.box->isEditing(), editing);
        QCOMPARE(b.box->isTextFieldFocused(), editing);
        QCOMPARE(focusRequests.count() > 0, editing);
        QCOMPARE(b.f.state->document()->selection(), std::optional(b.id));
    }

    void moveIsInCanvasPointsAndOneStep_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPointF>("travel");
        QTest::addColumn<QPointF>("moved");

        QTest::newRow("100 at zoom 2") << 2.0 << QPointF(100, 0) << QPointF(50, 0);
        QTest::newRow("zoom 1") << 1.0 << QPointF(-30, 40) << QPointF(-30, 40);
        QTest::newRow("zoom 0.5") << 0.5 << QPointF(10, 10) << QPointF(20, 20);
    }

    void moveIsInCanvasPointsAndOneStep()
    {
        QFETCH(double, zoom);
        QFETCH(QPointF, travel);
        QFETCH(QPointF, moved);
        Box b;
        QVERIFY(b.f.ready);
        b.box->setZoomScale(zoom);

        b.box->moveChanged({});
        b.box->moveChanged(travel);

        // Shown where the box is while the move lasts, stored as one step on release.
        QCOMPARE(b.box->dragPos(), QPointF(100, 100) + moved);
        QCOMPARE(b.record().points.first(), QPointF(100, 100) + moved);

        b.box->moveEnded(travel);
        QCOMPARE(b.record().points.first(), QPointF(100, 100) + moved);
        b.f.state->undo();
        QCOMPARE(b.record().points.first(), QPointF(100, 100));
        b.f.state->redo();
        QCOMPARE(b.record().points.first(), QPointF(100, 100) + moved);
        // The next move starts where this one ended.
        b.box->moveChanged(travel);
        QCOMPARE(b.box->dragPos(), QPointF(100, 100) + 2 * moved);
    }

    void handleScales_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPointF>("travel");
        QTest::addColumn<double>("scale");

        QTest::newRow("100 right from 1") << 1.0 << QPointF(100, 0) << 3.0;
        QTest::newRow("only horizontal travel counts") << 1.0 << QPointF(25, 400) << 1.5;
        QTest::newRow("100 window points at zoom 2") << 2.0 << QPointF(100, 0) << 2.0;
        QTest::newRow("far left stops at 0.2") << 1.0 << QPointF(-1000, 0) << 0.2;
    }

    void handleScales()
    {
        QFETCH(double, zoom);
        QFETCH(QPointF, travel);
        QFETCH(double, scale);
        Box b;
        QVERIFY(b.f.ready);
        b.box->setZoomScale(zoom);
        const double width = b.box->idealSize().width();

        b.box->scaleChanged(travel);

        QCOMPARE(b.box->dragScale(), scale);
        QCOMPARE(b.record().imageScale, scale); // shown so while the drag lasts
        // The text is set at the scaled size: it grows or shrinks with the scale.
        QVERIFY(std::abs(b.box->idealSize().width() / width - scale) < 0.1 * scale);

        b.box->scaleEnded(travel);
        QCOMPARE(b.record().imageScale, scale);
        b.f.state->undo(); // one step
        QCOMPARE(b.record().imageScale, 1.0);
        b.f.state->redo();
        b.box->scaleChanged({});
        QCOMPARE(b.box->dragScale(), scale); // the next drag starts from there
    }

    void aGestureTakenAwayLeavesTheBoxOnItsRecord_data()
    {
        QTest::addColumn<bool>("scale");
        QTest::addColumn<QString>("takenBy");

        QTest::newRow("move, grab taken") << false << QStringLiteral("cancel");
        QTest::newRow("move, tool key") << false << QStringLiteral("tool");
        QTest::newRow("scale, grab taken") << true << QStringLiteral("cancel");
        QTest::newRow("scale, tool key") << true << QStringLiteral("tool");
        QTest::newRow("scale, handle hidden") << true << QStringLiteral("deselect");
    }

    // Whatever takes the drag away, the box shows what its record holds, and the release
    // that may still come afterwards writes nothing and is no tap.
    void aGestureTakenAwayLeavesTheBoxOnItsRecord()
    {
        QFETCH(bool, scale);
        QFETCH(QString, takenBy);
        Box b;
        QVERIFY(b.f.ready);
        b.f.state->tools()->setCurrentTool(DrawingTool::Pointer);
        b.f.state->selectAnnotation(b.box->annotationId());
        b.box->setSelected(true);
        b.clock.advance(10'000);
        b.tap(0); // a first tap: the cancelled press must not make a double tap of it
        const QPointF travel(60, 0);
        if (scale) {
            b.box->scaleChanged(travel);
            QCOMPARE(b.box->dragScale(), 2.2);
        } else {
            b.box->moveChanged({});
            b.box->moveChanged(travel);
            QCOMPARE(b.box->dragPos(), QPointF(160, 100));
        }

        if (takenBy == QLatin1String("cancel"))
            scale ? b.box->scaleCancelled() : b.box->moveCancelled();
        else if (takenBy == QLatin1String("tool"))
            b.f.state->tools()->setCurrentTool(DrawingTool::Pen);
        else
            b.box->setSelected(false);
        scale ? b.box->scaleEnded(travel) : b.box->moveEnded({});
        b.clock.advance(100);

        QCOMPARE(b.record().points.first(), QPointF(100, 100));
        QCOMPARE(b.record().imageScale, 1.0);
        QCOMPARE(b.box->dragPos(), QPointF(100, 100));
        QCOMPARE(b.box->dragScale(), 1.0);
        QVERIFY(!b.box->isEditing());
        // The next drag starts from the record.
        b.f.state->tools()->setCurrentTool(DrawingTool::Pointer);
        b.box->moveChanged({});
        b.box->moveEnded(travel);
        QCOMPARE(b.record().points.first(), QPointF(160, 100));
    }

    void appearing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("editing");

        QTest::newRow("a new, empty box edits") << QString() << true;
        QTest::newRow("a box with text does not") << QStringLiteral("x") << false;
        QTest::newRow("nor does a blank one") << QStringLiteral(" ") << false;
    }

    void appearing()
    {
        QFETCH(QString, text);
        QFETCH(bool, editing);
        Box b(text, {12, 34}, false);
        QVERIFY(b.f.ready);
        b.f.state->document()->records()->update(b.id, [](Annotation &r) { r.imageScale = 1.5; });
        QSignalSpy focusRequests(b.box.get(), &TextBoxController::focusRequested);

        b.box->appear();

        QCOMPARE(b.box->dragPos(), QPointF(12, 34));
        QCOMPARE(b.box->dragScale(), 1.5);
        QCOMPARE(b.box->isEditing(), editing);
        QVERIFY(!b.box->isTextFieldFocused());
        b.clock.advance(99);
        QVERIFY(!b.box->isTextFieldFocused());
        b.clock.advance(1);
        QCOMPARE(b.box->isTextFieldFocused(), editing);
        // Once when editing starts, once more when the delayed flag comes.
        QCOMPARE(focusRequests.count(), editing ? 2 : 0);
    }

    void deferredStepsOfAGoneBoxDoNothing()
    {
        Box b{QString()};
        QVERIFY(b.f.ready);
        b.box->setSelected(true);
        b.box->setSelected(false); // schedules the focus release

        b.box.reset();
        b.clock.advance(1000);

        QCOMPARE(b.clock.pendingCount(), 0);
    }

    void reactions_data()
    {
        QTest::addColumn<QString>("change");

        QTest::newRow("deselected") << QStringLiteral("isSelected");
        QTest::newRow("editing ends") << QStringLiteral("isEditing");
        QTest::newRow("focus flag cleared") << QStringLiteral("isTextFieldFocused");
        QTest::newRow("escape in the field") << QStringLiteral("cancel");
    }

    // Whatever ends editing: editing and the focus flag drop, the box is deselected, the
    // keyboard is let go, and a blank box goes on the next turn.
    void reactions()
    {
        QFETCH(QString, change);
        Box b(QStringLiteral(" \n "));
        QVERIFY(b.f.ready);
        b.f.state->tools()->setCurrentTool(DrawingTool::Pointer);
        b.f.state->selectAnnotation(b.box->annotationId());
        b.box->setSelected(true);
        b.box->setEditing(true);
        b.box->setTextFieldFocused(true);
        QSignalSpy releases(b.box.get(), &TextBoxController::focusReleaseRequested);

        if (change == QLatin1String("isSelected"))
            b.box->setSelected(false);
        else if (change == QLatin1String("isEditing"))
            b.box->setEditing(false);
        else if (change == QLatin1String("isTextFieldFocused"))
            b.box->setTextFieldFocused(false);
        else
            b.box->cancelEditing();

        QVERIFY(!b.box->isEditing());
        QVERIFY(!b.box->isTextFieldFocused());
        QVERIFY(!b.f.state->document()->selection());
        b.clock.advance(0);
        QVERIFY(releases.count() >= 1);
        QCOMPARE(b.f.state->document()->records()->count(), 1);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(b.f.state->document()->records()->count(), 0);
    }

    // Taking the keyboard on every update made a box that still counts as editing grab it
    // back after Escape, so Escape could never close the editor.
    void focusIsAskedForOnlyWhenEditingStarts()
    {
        Box b{QString()};
        QVERIFY(b.f.ready);
        b.clock.advance(100);
        QSignalSpy focusRequests(b.box.get(), &TextBoxController::focusRequested);

        b.box->textEdited(QStringLiteral("a"));
        b.box->setZoomScale(3);
        b.box->setFontSize(40);
        b.box->setColor(Qt::green);
        b.box->setSelected(true);
        b.box->setEditing(true);

        QCOMPARE(focusRequests.count(), 0);
        QVERIFY(b.box->isEditing());
    }

    void typingIsWrittenIntoTheRecord()
    {
        Box b{QString()};
        QVERIFY(b.f.ready);

        b.box->textEdited(QStringLiteral("<b>x</b>\n"));

        QCOMPARE(b.record().textPayload, std::optional<QString>(QStringLiteral("<b>x</b>\n")));
        QCOMPARE(b.box->text(), QStringLiteral("<b>x</b>\n"));
    }

    void textColour_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<bool>("plate");
        QTest::addColumn<QColor>("text");

        QTest::newRow("no plate: its own colour")
            << QColor(Qt::yellow) << false << QColor(Qt::yellow);
        QTest::newRow("yellow plate") << QColor(Qt::yellow) << true << QColor(Qt::black);
        QTest::newRow("blue plate") << QColor(Qt::blue) << true << QColor(Qt::white);
    }

    void textColour()
    {
        QFETCH(QColor, color);
        QFETCH(bool, plate);
        QFETCH(QColor, text);
        TextBoxController box;

        box.setColor(color);
        box.setTextHasBackground(plate);

        QCOMPARE(box.resolvedTextColor(), text);
    }
};

QTEST_MAIN(TextBoxControllerTest)
#include "TextBoxControllerTest.moc"
