#include "editor/EditorEventFilter.h"
#include "editor/EditorFixture.h"
#include "platform/Preferences.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

bool near(QPointF a, QPointF b, double tolerance = 0.01)
{
    return std::abs(a.x() - b.x()) <= tolerance && std::abs(a.y() - b.y()) <= tolerance;
}

bool near(QSizeF a, QSizeF b, double tolerance = 1e-9)
{
    return std::abs(a.width() - b.width()) <= tolerance &&
           std::abs(a.height() - b.height()) <= tolerance;
}

// A window whose text field can hold the keyboard, as a text box does.
struct FocusWindow
{
    FocusWindow()
    {
        component.setData("import QtQuick\n"
                          "Window { width: 200; height: 100; visible: true\n"
                          "  property alias field: field\n"
                          "  TextInput { id: field; width: 100; height: 20 } }",
                          QUrl());
        object.reset(component.create());
        window = qobject_cast<QQuickWindow *>(object.get());
    }

    QQuickItem *field() const { return window->property("field").value<QQuickItem *>(); }

    QQmlEngine engine;
    QQmlComponent component{&engine};
    std::unique_ptr<QObject> object;
    QQuickWindow *window = nullptr;
};

} // namespace

class EditorStateTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void freshEditor()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        const EditorState &s = *f.state;

        QCOMPARE(s.document()->records()->count(), 0);
        QVERIFY(!s.document()->drawing());
        QCOMPARE(s.tools()->currentTool(), DrawingTool::Pen);
        QCOMPARE(toolLabel(s.tools()->currentTool()), QStringLiteral("Pen"));
        QCOMPARE(s.tools()->colorPresets(),
                 (QList<QColor>{Qt::red, Qt::blue, Qt::green, Qt::yellow, Qt::black, Qt::white}));
        QCOMPARE(s.tools()->activeColorIndex(), 0);
        QCOMPARE(s.tools()->color(), QColor(Qt::red));
        QCOMPARE(s.tools()->textHasBackground(), false);
        QCOMPARE(s.tools()->fontName(), QStringLiteral("Helvetica"));
        QCOMPARE(s.tools()->fontSize(), 24.0);
        QCOMPARE(s.viewport()->zoomScale(), 1.0);
        QCOMPARE(s.viewport()->baseZoom(), 1.0);
        QCOMPARE(s.viewport()->panOffset(), QSizeF(0, 0));
        QCOMPARE(s.viewport()->basePan(), QSizeF(0, 0));
        QVERIFY(!s.document()->selection());
        QVERIFY(near(s.viewport()->viewSize(), QSizeF(2000.0 / 3, 500)));
        QVERIFY(near(s.viewport()->imageOffset(), QSizeF(500.0 / 3, 0)));
    }

    void pinch_data()
    {
        QTest::addColumn<QList<double>>("steps"); // magnifications, 0 ends a pinch
        QTest::addColumn<QSizeF>("startPan");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QSizeF>("pan");

        QTest::newRow("half scales the pan")
            << QList<double>{0.5} << QSizeF(40, -20) << 0.5 << QSizeF(20, -10);
        QTest::newRow("within one pinch the total counts")
            << QList<double>{1.5, 2, 0.5} << QSizeF(10, 0) << 0.5 << QSizeF(5, 0);
        QTest::newRow("two pinches multiply")
            << QList<double>{2, 0, 1.5} << QSizeF(0, 0) << 3.0 << QSizeF(0, 0);
        QTest::newRow("floor") << QList<double>{1e-9} << QSizeF(1, 1) << 0.0001
                               << QSizeF(0.0001, 0.0001);
        QTest::newRow("no upper limit")
            << QList<double>{1e6, 0, 1e6, 0, 1e6} << QSizeF(0, 0) << 1e18 << QSizeF(0, 0);
    }

    void pinch()
    {
        QFETCH(QList<double>, steps);
        QFETCH(QSizeF, startPan);
        QFETCH(double, zoom);
        QFETCH(QSizeF, pan);
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.viewport()->wheelPan(startPan);

        for (double m : steps) {
            if (m == 0)
                s.viewport()->pinchEnded();
            else
                s.viewport()->pinchChanged(m);
        }

        QVERIFY2(std::abs(s.viewport()->zoomScale() / zoom - 1) < 1e-12,
                 qPrintable(QString::number(s.viewport()->zoomScale())));
        QVERIFY(near(s.viewport()->panOffset(), pan, 1e-9));
        QCOMPARE(s.viewport()->basePan(), s.viewport()->panOffset());
    }

    void pinchKeepsTheCentrePointInPlace()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.viewport()->wheelPan(QSizeF(37, -12));
        const QPointF centre = s.viewport()->viewToCanvas(QPointF(500, 250));

        s.viewport()->pinchChanged(3.5);

        QVERIFY(near(s.viewport()->viewToCanvas(QPointF(500, 250)), centre, 1e-9));
    }

    void stepsLeavingTheFiniteNumbersAreRefused_data()
    {
        QTest::addColumn<QSizeF>("startPan");
        QTest::addColumn<double>("startZoom");
        QTest::addColumn<QString>("step");

        const double big = std::numeric_limits<double>::max() / 2;
        QTest::newRow("zoom overflows") << QSizeF(1, 1) << 1e300 << "pinch 1e10";
        QTest::newRow("pan overflows as zoom grows") << QSizeF(1e300, 0) << 1.0 << "pinch 1e10";
        QTest::newRow("wheel overflows the pan") << QSizeF(big, 0) << 1.0 << "wheel";
        QTest::newRow("pan drag overflows") << QSizeF(big * 1.9, 0) << 1.0 << "drag";
        QTest::newRow("not a number") << QSizeF(3, 4) << 2.0 << "pinch nan";
    }

    void stepsLeavingTheFiniteNumbersAreRefused()
    {
        QFETCH(QSizeF, startPan);
        QFETCH(double, startZoom);
        QFETCH(QString, step);
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.viewport()->pinchStep(startZoom);
        s.viewport()->wheelPan(startPan);
        const double zoom = s.viewport()->zoomScale();
        const QSizeF pan = s.viewport()->panOffset();

        if (step == "pinch 1e10")
            s.viewport()->pinchChanged(1e10);
        else if (step == "pinch nan")
            s.viewport()->pinchChanged(std::nan(""));
        else if (step == "wheel")
            s.viewport()->wheelPan(QSizeF(std::numeric_limits<double>::max(), 0));
        else
            s.viewport()->panChanged(QSizeF(std::numeric_limits<double>::max(), 0));

        QCOMPARE(s.viewport()->zoomScale(), zoom);
        QCOMPARE(s.viewport()->panOffset(), pan);
        // Still usable: a sane step afterwards works.
        s.viewport()->pinchEnded();
        s.viewport()->pinchChanged(0.5);
        QCOMPARE(s.viewport()->zoomScale(), zoom * 0.5);
        QVERIFY(std::isfinite(s.viewport()->viewToCanvas(QPointF(1, 1)).x()));
    }

    void wheelPanFeedsTheNextPanDrag()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.tools()->setCurrentTool(DrawingTool::Pan);

        s.viewport()->wheelPan(QSizeF(5, -3));
        QCOMPARE(s.viewport()->panOffset(), QSizeF(5, -3));
        QCOMPARE(s.viewport()->basePan(), QSizeF(5, -3));
        s.pressCanvas(QPointF(100, 100));
        s.moveCanvas(QPointF(110, 120));
        QCOMPARE(s.viewport()->panOffset(), QSizeF(15, 17));
        QCOMPARE(s.viewport()->basePan(), QSizeF(5, -3));
        s.releaseCanvas(QPointF(110, 120));

        QCOMPARE(s.viewport()->basePan(), QSizeF(15, 17));
        QCOMPARE(s.document()->records()->count(), 0);
    }

    void everyPressReleaseWithADrawingToolCommitsOneRecord_data()
    {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QList<QPointF>>("samples"); // press, moves..., release

        const QList<QPointF> drag = {{100, 100}, {150, 120}, {200, 180}, {200, 180}};
        const QList<QPointF> still = {{300, 200}, {300, 200}};
        for (DrawingTool tool :
             {DrawingTool::Pen, DrawingTool::Rectangle, DrawingTool::Line, DrawingTool::Arrow}) {
            QTest::addRow("%s drag", qPrintable(toolLabel(tool))) << int(tool) << drag;
            QTest::addRow("%s click", qPrintable(toolLabel(tool))) << int(tool) << still;
        }
    }

    void everyPressReleaseWithADrawingToolCommitsOneRecord()
    {
        QFETCH(int, tool);
        QFETCH(QList<QPointF>, samples);
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.tools()->setCurrentTool(DrawingTool(tool));
        QSignalSpy live(s.document(), &AnnotationDocument::drawingChanged);

        s.pressCanvas(samples.first());
        QVERIFY(s.document()->drawing()); // begins at the press, before any movement
        for (qsizetype i = 1; i + 1 < samples.size(); ++i)
            s.moveCanvas(samples.at(i));
        s.releaseCanvas(samples.last());

        QVERIFY(!s.document()->drawing());
        QCOMPARE(s.document()->records()->count(), 1);
        const Annotation &record = s.document()->records()->at(0);
        QCOMPARE(record.type, DrawingTool(tool));
        QCOMPARE(record.points.size(), samples.size() - 1); // every sample, none at release
        QVERIFY(near(record.points.first(), s.viewport()->viewToCanvas(samples.first())));
        QCOMPARE(record.color, QColor(Qt::red));
        QCOMPARE(record.lineWidth, 4.0);
        QVERIFY(!record.textPayload && !record.imagePayload);
        QCOMPARE(record.fontName, QStringLiteral("Helvetica"));
        QCOMPARE(live.count(), samples.size());
    }

    void textToolClicks()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.tools()->setCurrentTool(DrawingTool::Text);
        s.tools()->setColor(Qt::green);
        s.tools()->setTextHasBackground(true);
        s.tools()->setFontName(QStringLiteral("DejaVu Sans"));
        s.tools()->setFontSize(30);

        s.click(QPointF(500, 250));
        QCOMPARE(s.document()->records()->count(), 1);
        const Annotation first = s.document()->records()->at(0);
        QCOMPARE(first.type, DrawingTool::Text);
        QVERIFY(near(first.points.first(), QPointF(333.33 - 8, 250 - 22)));
        QCOMPARE(first.points.size(), 1);
        QCOMPARE(first.textPayload, std::optional<QString>(QString()));
        QCOMPARE(first.color, QColor(Qt::green));
        QVERIFY(first.textHasBackground);
        QCOMPARE(first.fontName, QStringLiteral("DejaVu Sans"));
        QCOMPARE(first.fontSize, 30.0);
        QCOMPARE(first.imageScale, 1.0);
        QCOMPARE(s.document()->selection(), std::optional(first.id));

        // The next click only ends that box, and a blank one goes.
        s.click(QPointF(100, 100));
        QVERIFY(!s.document()->selection());
        QCOMPARE(s.document()->records()->count(), 0);

        // A box with text stays when clicked away from.
        s.click(QPointF(100, 100));
        const QUuid second = s.document()->records()->at(0).id;
        s.document()->records()->update(second,
                                        [](Annotation &r) { r.textPayload = QStringLiteral("x"); });
        s.click(QPointF(300, 300));
        QCOMPARE(s.document()->records()->count(), 1);
        QVERIFY(!s.document()->selection());
        s.click(QPointF(300, 300));
        QCOMPARE(s.document()->records()->count(), 2);
    }

    void aSelectionOfARemovedRecordDoesNotSwallowATextClick()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.tools()->setCurrentTool(DrawingTool::Text);
        s.click(QPointF(500, 250));
        s.document()->records()->clear(); // what Clear in the toolbar does; the selection stays

        s.click(QPointF(200, 200));

        QCOMPARE(s.document()->records()->count(), 1);
        QCOMPARE(s.document()->selection(), std::optional(s.document()->records()->at(0).id));
    }

    void otherToolsClickToDeselectAndDropBlankTexts_data()
    {
        QTest::addColumn<int>("tool");
        for (DrawingTool tool :
             {DrawingTool::Pointer, DrawingTool::Pan, DrawingTool::Pen, DrawingTool::Arrow})
            QTest::addRow("%s", qPrintable(toolLabel(tool))) << int(tool);
    }

    void otherToolsClickToDeselectAndDropBlankTexts()
    {
        QFETCH(int, tool);
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        const Annotation blank = textRecord({}, QString());
        const Annotation kept = textRecord({}, QStringLiteral("kept"));
        s.document()->add(blank);
        s.document()->add(kept);
        s.tools()->setCurrentTool(DrawingTool::Pointer);
        s.selectAnnotation(kept.id.toString());
        QVERIFY(s.document()->selection());
        s.tools()->setCurrentTool(DrawingTool(tool));

        s.pressCanvas(QPointF(400, 300));
        s.releaseCanvas(QPointF(400, 300));

        QVERIFY(!s.document()->selection());
        QCOMPARE(s.document()->records()->indexOf(blank.id), -1);
        QVERIFY(s.document()->records()->contains(kept.id));
    }

    void escapeEndsEditingFirstThenCloses()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        FocusWindow focus;
        QVERIFY2(focus.window, qPrintable(focus.component.errorString()));
        focus.window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(focus.window));
        EditorState &s = *f.state;
        // The window's key filter, as the canvas installs it while the editor is shown.
        EditorEventFilter filter(&s, focus.window);
        s.tools()->setCurrentTool(DrawingTool::Text);
        s.click(QPointF(500, 250)); // a blank box, selected
        const std::optional<QUuid> box = s.document()->selection();
        focus.field()->forceActiveFocus();
        QCOMPARE(focus.window->activeFocusItem(), focus.field());

        QTest::keyClick(focus.window, Qt::Key_Escape);

        QVERIFY(focus.window->activeFocusItem() != focus.field());
        QCOMPARE(f.closeRequests, 0);
        QCOMPARE(s.document()->selection(), box);          // the selection is left alone
        QTRY_COMPARE(s.document()->records()->count(), 0); // the blank box goes

        QTest::keyClick(focus.window, Qt::Key_Escape);
        QCOMPARE(f.closeRequests, 1);
    }

    // The history's keys and Delete act on the canvas, and leave a text field's own keys
    // alone. Before each: two boxes added, the second undone, the first selected.
    void historyAndDeleteKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("inTextField");
        QTest::addColumn<int>("recordsAfter");
        QTest::newRow("ctrl+z undoes")
            << int(Qt::Key_Z) << Qt::KeyboardModifiers(Qt::ControlModifier) << false << 0;
        QTest::newRow("ctrl+shift+z redoes")
            << int(Qt::Key_Z) << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier)
            << false << 2;
        QTest::newRow("ctrl+y redoes")
            << int(Qt::Key_Y) << Qt::KeyboardModifiers(Qt::ControlModifier) << false << 2;
        QTest::newRow("delete removes")
            << int(Qt::Key_Delete) << Qt::KeyboardModifiers() << false << 0;
        QTest::newRow("backspace removes")
            << int(Qt::Key_Backspace) << Qt::KeyboardModifiers() << false << 0;
        QTest::newRow("a text field keeps ctrl+z")
            << int(Qt::Key_Z) << Qt::KeyboardModifiers(Qt::ControlModifier) << true << 1;
        QTest::newRow("a text field keeps backspace")
            << int(Qt::Key_Backspace) << Qt::KeyboardModifiers() << true << 1;
    }

    void historyAndDeleteKeys()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, inTextField);
        QFETCH(int, recordsAfter);
        EditorFixture f;
        QVERIFY(f.ready);
        FocusWindow focus;
        QVERIFY2(focus.window, qPrintable(focus.component.errorString()));
        focus.window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(focus.window));
        EditorState &s = *f.state;
        EditorEventFilter filter(&s, focus.window);
        Annotation first = Annotation::create(DrawingTool::Rectangle, {10, 10}, Qt::red);
        first.points.append({50, 50});
        Annotation second = first;
        second.id = QUuid::createUuid();
        s.document()->add(first);
        s.document()->add(second);
        s.document()->undo();
        s.document()->select(first.id);
        if (inTextField)
            focus.field()->forceActiveFocus();

        QTest::keyClick(focus.window, Qt::Key(key), modifiers);

        QCOMPARE(s.document()->records()->count(), recordsAfter);
    }

    // With Select a press on a shape selects it and a drag moves it, the whole drag one
    // step; a press on one of its handles reshapes it; a press on nothing deselects.
    void selectMovesAndReshapesShapes()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        Annotation line = Annotation::create(DrawingTool::Line, {100, 100}, Qt::blue);
        line.points.append({200, 100});
        line.lineWidth = 8;
        s.document()->add(line);
        s.tools()->setCurrentTool(DrawingTool::Pointer);
        const auto at = [&s](QPointF canvasPoint) {
            return s.viewport()->canvasToView(canvasPoint);
        };

        s.pressCanvas(at({150, 102}));
        for (int step = 1; step <= 5; ++step)
            s.moveCanvas(at({150, 102.0 + 10 * step}));
        s.releaseCanvas(at({150, 152}));

        QCOMPARE(s.document()->selection(), std::optional<QUuid>(line.id));
        QCOMPARE(s.document()->find(line.id)->points, (QList<QPointF>{{100, 150}, {200, 150}}));
        QCOMPARE(s.tools()->color(), QColor(Qt::blue));
        QCOMPARE(s.tools()->lineWidth(), 8.0);
        QCOMPARE(s.selectionHandles().size(), 2);
        QVERIFY(near(s.selectionHandles().at(1).toPointF(), at({200, 150})));

        s.pressCanvas(at({201, 151}));
        s.moveCanvas(at({250, 200}));
        s.releaseCanvas(at({250, 200}));
        QCOMPARE(s.document()->find(line.id)->points, (QList<QPointF>{{100, 150}, {250, 200}}));

        s.undo();
        QCOMPARE(s.document()->find(line.id)->points, (QList<QPointF>{{100, 150}, {200, 150}}));
        s.undo();
        QCOMPARE(s.document()->find(line.id)->points, line.points);

        s.pressCanvas(at({400, 400}));
        s.releaseCanvas(at({400, 400}));
        QVERIFY(!s.document()->selectedRecord());
        QVERIFY(s.selectionHandles().isEmpty());
    }

    // A Crop drag sets the output rectangle, a drag from one of its corners moves that
    // corner, and Reset Crop takes it away; each is one step.
    void cropDragsAndResets()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.tools()->setCurrentTool(DrawingTool::Crop);
        const auto at = [&s](QPointF canvasPoint) {
            return s.viewport()->canvasToView(canvasPoint);
        };

        s.pressCanvas(at({200, 150}));
        s.moveCanvas(at({100, 50}));
        s.releaseCanvas(at({100, 50}));
        QCOMPARE(s.document()->crop(), std::optional<QRectF>(QRectF(100, 50, 100, 100)));
        s.pressCanvas(at({201, 151}));
        s.moveCanvas(at({300, 120}));
        s.releaseCanvas(at({300, 120}));
        QCOMPARE(s.document()->crop(), std::optional<QRectF>(QRectF(100, 50, 200, 70)));
        s.resetCrop();
        QCOMPARE(s.document()->crop(), std::nullopt);

        s.undo();
        QCOMPARE(s.document()->crop(), std::optional<QRectF>(QRectF(100, 50, 200, 70)));
        s.undo();
        QCOMPARE(s.document()->crop(), std::optional<QRectF>(QRectF(100, 50, 100, 100)));
        QVERIFY(s.cropView().isValid());

        // What Copy and Save hand out is cut like what Save Edits puts on the stack.
        const std::optional<QImage> picture = s.renderedImage();
        QVERIFY(picture);
        // A square crop, rounded outward to whole pixels.
        QVERIFY2(qAbs(picture->width() - picture->height()) <= 1,
                 qPrintable(QStringLiteral("%1x%2").arg(picture->width()).arg(picture->height())));
        QVERIFY(picture->width() < f.session->image().width() / 2);
    }

    // A constrained ellipse is a circle whose side is the longer span.
    void shiftMakesACircle()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.tools()->setCurrentTool(DrawingTool::Ellipse);
        const auto at = [&s](QPointF canvasPoint) {
            return s.viewport()->canvasToView(canvasPoint);
        };

        s.pressCanvas(at({100, 100}));
        s.moveCanvas(at({160, 80}), true);
        s.releaseCanvas(at({160, 80}));

        QCOMPARE(s.document()->records()->count(), 1);
        const Annotation circle = s.document()->list().first();
        QVERIFY(near(circle.points.last(), {160, 40}));
    }

    void selectingTakesTheRecordsColourIntoTheActiveSwatch()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        const Annotation text = textRecord({}, QStringLiteral("hi"), Qt::red);
        const Annotation stroke = Annotation::create(DrawingTool::Pen, {}, Qt::green);
        s.document()->add(text);
        s.document()->add(stroke);
        s.tools()->chooseSwatch(1);
        s.tools()->setColor(Qt::blue);

        s.selectAnnotation(text.id.toString()); // the pen tool selects nothing
        QVERIFY(!s.document()->selection());
        QCOMPARE(s.tools()->color(), QColor(Qt::blue));

        s.tools()->setCurrentTool(DrawingTool::Pointer);
        s.selectAnnotation(stroke.id.toString()); // shapes are never selected
        QVERIFY(!s.document()->selection());
        s.selectAnnotation(text.id.toString());

        QCOMPARE(s.document()->selection(), std::optional(text.id));
        QCOMPARE(s.tools()->color(), QColor(Qt::red));
        QCOMPARE(s.tools()->colorPresets().at(1), QColor(Qt::red));
        QCOMPARE(s.tools()->colorPresets().at(0), QColor(Qt::red));
        QCOMPARE(s.tools()->colorPresets().at(2), QColor(Qt::green));

        // A colour chosen while it is selected recolours it, and nothing else.
        s.tools()->setColor(Qt::yellow);
        QCOMPARE(s.document()->records()->at(0).color, QColor(Qt::yellow));
        QCOMPARE(s.document()->records()->at(1).color, QColor(Qt::green));
    }

    void deselectDropsTheRecordLaterOnlyIfBlank_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("kept");

        QTest::newRow("blank") << " \n" << false;
        QTest::newRow("written") << "x" << true;
    }

    void deselectDropsTheRecordLaterOnlyIfBlank()
    {
        QFETCH(QString, text);
        QFETCH(bool, kept);
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.tools()->setCurrentTool(DrawingTool::Text);
        s.click(QPointF(10, 10));
        const Annotation other = Annotation::createText({}, Qt::red, false, "Helvetica", 24);
        s.document()->add(other); // blank too, but not the one that ended
        const QUuid box = s.document()->records()->at(0).id;
        s.document()->records()->update(box, [&](Annotation &r) { r.textPayload = text; });

        s.deselectAnnotation(box.toString());

        QVERIFY(!s.document()->selection());
        QCOMPARE(s.document()->records()->count(), 2);
        QTRY_COMPARE(s.document()->records()->count(), kept ? 2 : 1);
        QVERIFY(s.document()->records()->contains(other.id));
    }

    void toolChangeDeselects()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.tools()->setCurrentTool(DrawingTool::Text);
        s.click(QPointF(10, 10));
        QVERIFY(s.document()->selection());
        QSignalSpy changed(s.tools(), &ToolSettings::currentToolChanged);

        s.tools()->setCurrentTool(DrawingTool::Pointer);

        QCOMPARE(changed.count(), 1);
        QCOMPARE(s.tools()->currentTool(), DrawingTool::Pointer);
        QVERIFY(s.tools()->isPointerMode());
        QVERIFY(!s.document()->selection());
    }

    // A press cut short (its tool changed, or the press taken away) keeps what it drew.
    void anInterruptedPressCommitsItsRecord_data()
    {
        QTest::addColumn<bool>("byToolChange");
        QTest::newRow("tool changed") << true;
        QTest::newRow("press taken away") << false;
    }

    void anInterruptedPressCommitsItsRecord()
    {
        QFETCH(bool, byToolChange);
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.pressCanvas(QPointF(100, 100));
        s.moveCanvas(QPointF(120, 100));
        s.moveCanvas(QPointF(140, 110));

        if (!byToolChange) {
            s.cancelCanvasPress();
            QCOMPARE(s.document()->records()->count(), 1);
        }
        s.tools()->setCurrentTool(DrawingTool::Arrow);
        QVERIFY(!s.document()->drawing());
        QCOMPARE(s.document()->records()->count(), 1);
        if (byToolChange) {
            s.moveCanvas(QPointF(160, 130)); // the rest of that press draws nothing
            s.releaseCanvas(QPointF(160, 130));
        }
        s.pressCanvas(QPointF(300, 300));
        s.moveCanvas(QPointF(350, 320));
        s.releaseCanvas(QPointF(350, 320));

        QCOMPARE(s.document()->records()->count(), 2);
        const Annotation &pen = s.document()->records()->at(0);
        const Annotation &arrow = s.document()->records()->at(1);
        QCOMPARE(pen.type, DrawingTool::Pen);
        QCOMPARE(pen.points.size(), 3);
        QCOMPARE(arrow.type, DrawingTool::Arrow);
        QCOMPARE(arrow.points.size(), 2);
        QVERIFY(near(arrow.points.first(), s.viewport()->viewToCanvas(QPointF(300, 300))));
        QVERIFY(pen.id != arrow.id);
    }

    // Canvas space is fixed by the first layout; a resize stretches it onto the new fit.
    void resizingKeepsAnnotationsOnTheirPixels()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        s.pressCanvas(QPointF(500, 250)); // the capture's centre
        s.releaseCanvas(QPointF(500, 250));
        s.pressCanvas(QPointF(500.0 / 3, 0)); // its top-left corner
        s.releaseCanvas(QPointF(500.0 / 3, 0));
        const QSizeF canvas = s.viewport()->viewSize();
        QSignalSpy placement(s.viewport(), &CanvasViewport::placementChanged);

        s.viewport()->setAreaSize(QSizeF(1500, 1000));

        QCOMPARE(s.viewport()->viewSize(), canvas);
        QVERIFY(near(s.viewport()->imageOffset(), QSizeF(250.0 / 3, 0)));
        QVERIFY(placement.count() >= 1);
        QVERIFY(near(s.viewport()->canvasToView(s.document()->records()->at(0).points.first()),
                     QPointF(750, 500)));
        QVERIFY(near(s.viewport()->canvasToView(s.document()->records()->at(1).points.first()),
                     QPointF(250.0 / 3, 0)));
        QVERIFY(near(s.viewport()->canvasOrigin(), QPointF(250.0 / 3, 0)));
        QVERIFY(std::abs(s.viewport()->canvasScale() - 2) < 1e-9);
        // And back: the same points as before.
        s.viewport()->setAreaSize(QSizeF(1000, 500));
        QVERIFY(near(s.viewport()->canvasToView(s.document()->records()->at(0).points.first()),
                     QPointF(500, 250)));
    }
};

QTEST_MAIN(EditorStateTest)
#include "EditorStateTest.moc"
