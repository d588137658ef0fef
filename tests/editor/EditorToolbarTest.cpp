#include "editor/EditorFixture.h"
#include "editor/EditorWindowFixture.h"
#include "fakes/StdoutCapture.h"

#include <QQuickItem>
#include <QTest>

namespace {

// A click at the middle of the toolbar control `name` (or at `at` inside it).
bool click(const OpenEditor &e, const char *name, std::optional<QPointF> at = std::nullopt)
{
    QQuickItem *control = e.item(name);
    if (!control || !control->isVisible())
        return false;
    const QPointF local = at.value_or(QPointF(control->width() / 2, control->height() / 2));
    QTest::mouseClick(e.window, Qt::LeftButton, {}, control->mapToScene(local).toPoint());
    return true;
}

const char *toolNames[] = {"toolPan",         "toolSelect", "toolText",    "toolPen",
                           "toolHighlighter", "toolBox",    "toolEllipse", "toolLine",
                           "toolArrow",       "toolStep",   "toolRedact",  "toolCrop"};

} // namespace

class EditorToolbarTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void zoomReadout_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QString>("shown");
        QTest::newRow("1") << 1.0 << "Zoom: 100%";
        QTest::newRow("1.2345") << 1.2345 << "Zoom: 123%";
        QTest::newRow("0.5") << 0.5 << "Zoom: 50%";
        QTest::newRow("0.004") << 0.004 << "Zoom: 0%";
        QTest::newRow("0.999999") << 0.999999 << "Zoom: 99%";
        // The zoom has no upper limit: beyond every integer type it still reads right.
        QTest::newRow("1e20") << 1e20 << "Zoom: 10000000000000000000000%";
    }

    void zoomReadout()
    {
        QFETCH(double, zoom);
        QFETCH(QString, shown);
        QCOMPARE(CanvasViewport::zoomReadout(zoom), shown);
    }

    void newEditorShowsPenRedAndFullSize()
    {
        OpenEditor e;
        QVERIFY(e.ready);

        QCOMPARE(e.item("zoomReadout")->property("text").toString(), QStringLiteral("Zoom: 100%"));
        for (const char *name : toolNames)
            QCOMPARE(e.item(name)->property("isSelected").toBool(), qstrcmp(name, "toolPen") == 0);
        QVERIFY(e.item("swatch0")->property("active").toBool());
        for (const char *name : {"swatch1", "swatch2", "swatch3", "swatch4", "swatch5"})
            QVERIFY(!e.item(name)->property("active").toBool());
        // The band keeps its height, so the canvas below stays where it was.
        QCOMPARE(e.item("toolbar")->height(), 85.0);

        e.state->viewport()->pinchStep(1.2345);
        QCOMPARE(e.item("zoomReadout")->property("text").toString(), QStringLiteral("Zoom: 123%"));
    }

    void toolButtonsChooseTheirTool_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("tool");
        for (const char *tool : {"Pan", "Select", "Text", "Box", "Line", "Arrow", "Ellipse",
                                 "Highlighter", "Step", "Redact", "Crop"})
            QTest::newRow(tool) << QStringLiteral("tool%1").arg(tool) << QString(tool);
    }

    void toolButtonsChooseTheirTool()
    {
        QFETCH(QString, button);
        QFETCH(QString, tool);
        OpenEditor e;
        QVERIFY(e.ready);

        QVERIFY(click(e, qPrintable(button)));

        QCOMPARE(toolLabel(e.state->tools()->currentTool()), tool);
        for (const char *name : toolNames)
            QCOMPARE(e.item(name)->property("isSelected").toBool(), button == QLatin1String(name));
        // A clicked tool leaves the keyboard where it was.
        QVERIFY(!e.item(qPrintable(button))->hasActiveFocus());
    }

    void textStyleGroupOnlyForTextAndSelect()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        QQuickItem *group = e.item("textStyleGroup");
        QVERIFY(group);

        QCOMPARE(group->opacity(), 0.0);
        QVERIFY(!group->isEnabled());

        QVERIFY(click(e, "toolSelect"));
        QCOMPARE(group->opacity(), 1.0);
        QVERIFY(group->isEnabled());
        QVERIFY(click(e, "toolText"));
        QVERIFY(group->isEnabled());
        QVERIFY(click(e, "toolArrow"));
        QCOMPARE(group->opacity(), 0.0);
        QVERIFY(!group->isEnabled());
    }

    void swatchesAndTheColourWell()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        EditorState &s = *e.state;

        QVERIFY(click(e, "swatch1"));
        QCOMPARE(s.tools()->activeColorIndex(), 1);
        QCOMPARE(s.tools()->color(), QColor(Qt::blue));
        QVERIFY(e.item("swatch1")->property("active").toBool());

        // The well: green with some opacity, chosen in the dialog, goes into the blue slot.
        QVERIFY(click(e, "colorWell"));
        QObject *dialog = e.item("colorWell")->property("dialog").value<QObject *>();
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->property("visible").toBool());
        QCOMPARE(dialog->property("selectedColor").value<QColor>(), QColor(Qt::blue));
        QVERIFY(dialog->property("options").toInt() != 0); // the opacity is offered
        const QColor translucentGreen(0, 255, 0, 128);
        dialog->setProperty("selectedColor", translucentGreen);
        QVERIFY(QMetaObject::invokeMethod(dialog, "accept"));

        QCOMPARE(s.tools()->color(), translucentGreen);
        QCOMPARE(s.tools()->colorPresets().at(1), translucentGreen);
        QCOMPARE(e.item("colorWell")->property("color").value<QColor>(), translucentGreen);

        QVERIFY(click(e, "swatch0"));
        QCOMPARE(s.tools()->color(), QColor(Qt::red));
        QCOMPARE(s.tools()->colorPresets().at(1), translucentGreen);
        QCOMPARE(s.tools()->activeColorIndex(), 0);

        // The circle takes the click, the corners of its square do not.
        QVERIFY(click(e, "swatch4", QPointF(1, 1)));
        QCOMPARE(s.tools()->activeColorIndex(), 0);
        QVERIFY(click(e, "swatch4", QPointF(10, 18)));
        QCOMPARE(s.tools()->activeColorIndex(), 4);
    }

    // In the narrowest window every control of the first row is whole and inside the band.
    void theFirstRowFitsTheNarrowestWindow()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        e.window->resize(850, 600);
        QQuickItem *toolbar = e.item("toolbar");
        QTRY_COMPARE(toolbar->width(), 850.0);

        double right = 0;
        for (const char *name : {"toolPan", "toolArrow", "insertButton", "undoButton", "redoButton",
                                 "clearButton", "revertButton", "cancelButton", "saveButton"}) {
            QQuickItem *control = e.item(name);
            QVERIFY2(control, name);
            const QRectF box = control->mapRectToItem(toolbar, control->boundingRect());
            QVERIFY2(box.left() >= right, name); // in order, no overlap
            QVERIFY2(control->width() >= control->implicitWidth() / 2, name);
            right = box.right();
        }
        QVERIFY2(right <= toolbar->width() - 15, qPrintable(QString::number(right)));
        // The second row, with its widest shared place showing (Select, no shape chosen).
        QVERIFY(click(e, "toolSelect"));
        right = 0;
        for (const char *name : {"colorWell", "toolHighlighter", "toolStep", "toolRedact",
                                 "toolCrop", "textStyleGroup"}) {
            QQuickItem *control = e.item(name);
            QVERIFY2(control, name);
            const QRectF box = control->mapRectToItem(toolbar, control->boundingRect());
            QVERIFY2(box.left() >= right, name);
            right = box.right();
        }
        QVERIFY(right <= toolbar->width() - 15);
    }

    // The width buttons show with the stroked tools and Select, set the width of new records
    // and restyle the selected shape.
    void lineWidths()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        EditorState &s = *e.state;
        QQuickItem *group = e.item("lineWidthGroup");
        QVERIFY(group);
        QVERIFY(group->isVisible());                     // the pen is the first tool
        QVERIFY(!e.item("textStyleGroup")->isVisible()); // they share a place
        QCOMPARE(s.tools()->lineWidth(), 4.0);
        QVERIFY(click(e, "toolText"));
        QVERIFY(!group->isVisible());
        QVERIFY(e.item("textStyleGroup")->isVisible());
        QVERIFY(click(e, "toolEllipse"));
        QVERIFY(click(e, "lineWidth12"));
        QCOMPARE(s.tools()->lineWidth(), 12.0);

        QTest::mousePress(e.window, Qt::LeftButton, {}, e.onCanvas({100, 100}));
        QTest::mouseMove(e.window, e.onCanvas({150, 130}));
        QTest::mouseRelease(e.window, Qt::LeftButton, {}, e.onCanvas({200, 160}));
        QCOMPARE(s.document()->records()->count(), 1);
        const Annotation drawn = s.document()->list().first();
        QCOMPARE(drawn.type, DrawingTool::Ellipse);
        QCOMPARE(drawn.lineWidth, 12.0);

        QVERIFY(click(e, "toolSelect"));
        QVERIFY(!group->isVisible());
        s.document()->select(drawn.id);
        QVERIFY(group->isVisible());
        QVERIFY(click(e, "lineWidth2"));
        QCOMPARE(s.document()->list().first().lineWidth, 2.0);
        QVERIFY(click(e, "undoButton"));
        QCOMPARE(s.document()->list().first().lineWidth, 12.0);
    }

    // Redact draws black by default; its styles show with it and with a selected
    // redaction, and restyle that one.
    void redactionStyles()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        EditorState &s = *e.state;
        QVERIFY(!e.item("redactStyleGroup")->isVisible());
        QVERIFY(click(e, "toolRedact"));
        QVERIFY(e.item("redactStyleGroup")->isVisible());
        QVERIFY(!e.item("textStyleGroup")->isVisible());
        QVERIFY(click(e, "redactPixelate"));

        QTest::mousePress(e.window, Qt::LeftButton, {}, e.onCanvas({100, 100}));
        QTest::mouseMove(e.window, e.onCanvas({150, 130}));
        QTest::mouseRelease(e.window, Qt::LeftButton, {}, e.onCanvas({200, 160}));
        QCOMPARE(s.document()->records()->count(), 1);
        const Annotation drawn = s.document()->list().first();
        QCOMPARE(drawn.type, DrawingTool::Redact);
        QVERIFY(drawn.pixelate);
        QCOMPARE(drawn.color, QColor(Qt::black));

        QVERIFY(click(e, "toolSelect"));
        QVERIFY(!e.item("redactStyleGroup")->isVisible());
        QTest::mouseClick(e.window, Qt::LeftButton, {}, e.onCanvas({150, 130}));
        QCOMPARE(s.document()->selection(), std::optional<QUuid>(drawn.id));
        QVERIFY(e.item("redactStyleGroup")->isVisible());
        QVERIFY(click(e, "redactSolid"));
        QVERIFY(!s.document()->list().first().pixelate);
        QVERIFY(click(e, "undoButton"));
        QVERIFY(s.document()->list().first().pixelate);
    }

    void undoAndClear()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        EditorState &s = *e.state;

        QVERIFY(click(e, "undoButton")); // nothing to undo
        QCOMPARE(s.document()->records()->count(), 0);

        Annotation box = Annotation::create(DrawingTool::Rectangle, {10, 10}, Qt::red);
        box.points.append({50, 50});
        const Annotation text = textRecord({100, 100}, QStringLiteral("note"));
        s.document()->add(box);
        s.document()->add(text);
        QVERIFY(click(e, "undoButton"));
        QCOMPARE(s.document()->list(), QList<Annotation>{box});
        QVERIFY(click(e, "redoButton"));
        QCOMPARE(s.document()->list(), (QList<Annotation>{box, text}));
        QVERIFY(click(e, "undoButton"));

        // Clear leaves the selection naming a record that is gone: a swatch then recolours
        // nothing.
        s.document()->add(text);
        s.tools()->setCurrentTool(DrawingTool::Pointer);
        s.selectAnnotation(text.id.toString());
        QVERIFY(click(e, "clearButton"));
        QCOMPARE(s.document()->records()->count(), 0);
        QCOMPARE(s.document()->selection(), std::optional(text.id));
        QVERIFY(click(e, "swatch2"));
        QCOMPARE(s.tools()->color(), QColor(Qt::green));
        QCOMPARE(s.document()->records()->count(), 0);
    }

    void cancelDiscards()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        ScreenshotManager *manager = e.delegate->screenshotManager();
        const int before = manager->screenshots()->revisionAt(0);
        e.state->document()->add(Annotation::create(DrawingTool::Pen, {10, 10}, Qt::red));

        QVERIFY(click(e, "cancelButton"));

        QTRY_VERIFY_WITH_TIMEOUT(!e.window, 5000);
        QCOMPARE(manager->screenshots()->revisionAt(0), before);
    }

    // However the window goes (its close button, another editor opened), its unsaved edits
    // stay as the capture's draft, and the next editor shows them with the note, enabling
    // Revert to Original only on a capture with saved edits.
    void aClosedWindowLeavesADraft_data()
    {
        QTest::addColumn<bool>("anotherEditor");
        QTest::newRow("close button") << false;
        QTest::newRow("another editor") << true;
    }

    void aClosedWindowLeavesADraft()
    {
        QFETCH(bool, anotherEditor);
        OpenEditor e;
        QVERIFY(e.ready);
        QTRY_VERIFY(!e.state->session()->image().isNull());
        ScreenshotManager *manager = e.delegate->screenshotManager();
        e.state->document()->add(Annotation::create(DrawingTool::Pen, {10, 10}, Qt::red));
        QVERIFY(!e.item("draftNote")->isVisible());
        QVERIFY(!e.item("revertButton")->isEnabled());

        if (anotherEditor)
            e.delegate->openEditor(0);
        else
            e.window->close();

        QTRY_VERIFY_WITH_TIMEOUT(!e.window, 5000);
        QVERIFY(manager->draft(manager->captureIdAt(0)));
        if (!anotherEditor)
            e.delegate->openEditor(0);
        QQuickView *window = e.delegate->editorWindow();
        QVERIFY(window && window->rootObject());
        auto *state = window->rootObject()->property("editor").value<EditorState *>();
        QTRY_COMPARE(state->document()->records()->count(), 1);
        QQuickItem *note = findItem(window->rootObject(), QLatin1String("draftNote"));
        QTRY_VERIFY(note->isVisible());
        QVERIFY(!findItem(window->rootObject(), QLatin1String("revertButton"))->isEnabled());
        state->document()->clear();
        QVERIFY(!note->isVisible());
    }

    void afterASaveNothingMoreIsTaken()
    {
        EditorFixture f(QSize(800, 600), QSizeF(800, 600));
        QVERIFY(f.ready);
        QTRY_VERIFY(!f.session->image().isNull()); // decoded, if it was stored compressed
        EditorState &s = *f.state;
        Annotation stroke = Annotation::create(DrawingTool::Pen, {-10, 10}, Qt::red);
        stroke.points.append({100, 100});
        s.document()->add(stroke);

        QVERIFY(s.saveRenderedImage());
        QCOMPARE(f.manager->imageAt(0).size(), QSize(852, 600));
        const int revision = f.manager->screenshots()->revisionAt(0);
        QVERIFY(s.isFinished());

        // A second click before the window is gone: the flattened picture is not drawn on
        // again, and no edit lands.
        QVERIFY(!s.saveRenderedImage());
        s.undo();
        s.clear();
        s.tools()->chooseSwatch(2);
        s.pressCanvas({10, 10});
        s.moveCanvas({100, 100});
        s.releaseCanvas({100, 100});
        QCOMPARE(f.manager->screenshots()->revisionAt(0), revision);
        QCOMPARE(s.document()->list(), QList<Annotation>{stroke});
        QCOMPARE(f.closeRequests, 1);
    }

    void aRefusedSaveKeepsTheEditorAsItWas_data()
    {
        QTest::addColumn<QSizeF>("area");
        QTest::addColumn<QPointF>("reach");
        QTest::addColumn<QString>("line");
        QTest::newRow("never laid out")
            << QSizeF(0, 0) << QPointF(100, 100)
            << "CRITICAL: Canvas size is zero. The view size was not captured.";
        QTest::newRow("far outside the capture")
            << QSizeF(800, 600) << QPointF(1e6, 100)
            << "Edits not saved: the picture would be 1000042 x 600 pixels, too large to make.";
    }

    void aRefusedSaveKeepsTheEditorAsItWas()
    {
        QFETCH(QSizeF, area);
        QFETCH(QPointF, reach);
        QFETCH(QString, line);
        EditorFixture f(QSize(800, 600), area);
        QVERIFY(f.ready);
        QTRY_VERIFY(!f.session->image().isNull());
        EditorState &s = *f.state;
        Annotation stroke = Annotation::create(DrawingTool::Pen, {10, 10}, Qt::red);
        stroke.points.append(reach);
        s.document()->add(stroke);
        const int before = f.manager->screenshots()->revisionAt(0);

        StdoutCapture log;
        QVERIFY(!s.saveRenderedImage());

        QCOMPARE(log.takeLines(), QStringList{line});
        QCOMPARE(f.manager->screenshots()->revisionAt(0), before);
        QCOMPARE(s.document()->records()->count(), 1);
        QVERIFY(!s.isFinished());
        QCOMPARE(f.closeRequests, 0);
        if (!area.isEmpty()) {
            // Still editable: without the stray stroke the save goes through.
            s.undo();
            QVERIFY(s.saveRenderedImage());
            QCOMPARE(f.closeRequests, 1);
        }
    }
};

QTEST_MAIN(EditorToolbarTest)
#include "EditorToolbarTest.moc"
