#include "capture/CaptureSaver.h"
#include "capture/ClipboardCopy.h"
#include "editor/CanvasInputLayer.h"
#include "editor/DroppedImageGesture.h"
#include "editor/EditorSession.h"
#include "editor/EditorState.h"
#include "editor/EditorWindowFixture.h"
#include "fakes/FakeFileChooser.h"
#include "platform/Preferences.h"
#include "text/TextBoxController.h"

#include <QDir>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QQmlComponent>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <functional>

namespace {

void turnWheel(QWindow *window, QPoint at, QPoint angle, Qt::KeyboardModifiers modifiers,
               QPoint pixels = {})
{
    QWheelEvent wheel(at, window->mapToGlobal(at), pixels, angle, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(window, &wheel);
}

} // namespace

class EditorViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowLayout()
    {
        OpenEditor e;
        QVERIFY(e.ready);

        QCOMPARE(e.window->minimumSize(), QSize(850, 600));
        QCOMPARE(e.window->size(), QSize(1000, 750));
        const QRectF area(e.canvasArea->mapToScene(QPointF(0, 0)), e.canvasArea->size());
        QCOMPARE(area.left(), 30.0);
        QCOMPARE(e.window->width() - area.right(), 30.0);
        QCOMPARE(e.window->height() - area.bottom(), 30.0);
        QVERIFY(area.top() > 30); // below the toolbar band and its divider
        QCOMPARE(e.state->viewport()->areaSize(), area.size());
        QVERIFY(e.input->isWatchingEvents());
        // Canvas space comes from the window's real first layout: no stretch at opening.
        QCOMPARE(e.state->viewport()->viewSize().height(), area.height());
        QCOMPARE(e.state->viewport()->canvasScale(), 1.0);
    }

    // The window stacks the records in the list's order, as the saved picture does: a text
    // or image added later lies over an earlier shape, a shape added later over it.
    // While a text plate or an image is dragged, the shapes drawn before it stay under it
    // at each step of the way; the ended drag is one step of the history.
    void aDraggedViewStaysOverTheShapesBeforeIt_data()
    {
        QTest::addColumn<int>("view");
        QTest::newRow("a text plate") << int(DrawingTool::Text);
        QTest::newRow("an image") << int(DrawingTool::DroppedImage);
    }

    void aDraggedViewStaysOverTheShapesBeforeIt()
    {
        QFETCH(int, view);
        OpenEditor e;
        QVERIFY(e.ready);
        AnnotationDocument &d = *e.state->document();
        Annotation line = Annotation::create(DrawingTool::Line, {60, 310}, Qt::red);
        line.points.append({500, 310});
        line.lineWidth = 12;
        d.add(line);
        const QColor viewColour(20, 60, 200);
        Annotation shown;
        // Where the view is looked at after a drag of 200 down: on the line, inside the
        // plate's inset or the image.
        QPointF looked;
        if (DrawingTool(view) == DrawingTool::Text) {
            shown = textRecord({100, 100}, QStringLiteral("Plate"), viewColour, true);
            looked = {104, 310};
        } else {
            QImage image(100, 60, QImage::Format_RGB32);
            image.fill(viewColour);
            shown = Annotation::create(DrawingTool::DroppedImage, {150, 110}, viewColour);
            shown.imagePayload = image;
            looked = {150, 310};
        }
        d.add(shown);
        const auto viewColourAt = [&](QPointF canvasPoint) {
            const QColor c = e.window->grabWindow().pixelColor(e.onCanvas(canvasPoint));
            return std::abs(c.red() - viewColour.red()) <= 6 &&
                   std::abs(c.green() - viewColour.green()) <= 6 &&
                   std::abs(c.blue() - viewColour.blue()) <= 6;
        };
        QVERIFY(QTest::qWaitFor([&] { return viewColourAt(looked - QPointF(0, 200)); }, 5000));

        QList<RecordViewController *> controllers;
        const std::function<void(QQuickItem *)> collect = [&](QQuickItem *item) {
            controllers += item->findChildren<RecordViewController *>(Qt::FindDirectChildrenOnly);
            for (QQuickItem *child : item->childItems())
                collect(child);
        };
        collect(e.window->contentItem());
        const auto found = std::find_if(controllers.begin(), controllers.end(), [&](auto *c) {
            return QUuid::fromString(c->annotationId()) == shown.id;
        });
        QVERIFY(found != controllers.end());
        auto *text = qobject_cast<TextBoxController *>(*found);
        auto *image = qobject_cast<DroppedImageGesture *>(*found);
        QVERIFY(text || image);
        const double zoom = e.state->viewport()->canvasScale();
        e.state->tools()->setCurrentTool(DrawingTool::Pointer);
        for (int step = 1; step <= 4; ++step) {
            const QPointF travel(0, 50 * step * zoom);
            text ? text->moveChanged(travel) : image->moveChanged(travel, zoom);
            QVERIFY2(QTest::qWaitFor(
                         [&] { return viewColourAt(looked - QPointF(0, 200 - 50 * step)); }, 5000),
                     qPrintable(QStringLiteral("step %1").arg(step)));
        }
        text ? text->moveEnded(QPointF(0, 200 * zoom)) : image->moveEnded();
        QCOMPARE(d.find(shown.id)->points.first(), shown.points.first() + QPointF(0, 200));

        e.state->undo();
        QCOMPARE(d.find(shown.id)->points.first(), shown.points.first());
        e.state->redo();
        QCOMPARE(d.find(shown.id)->points.first(), shown.points.first() + QPointF(0, 200));
    }

    void recordsStackInTheirOrder_data()
    {
        QTest::addColumn<int>("under");
        QTest::addColumn<int>("view");
        QTest::newRow("a highlighter under a later text plate")
            << int(DrawingTool::Highlighter) << int(DrawingTool::Text);
        QTest::newRow("a pen stroke under a later image")
            << int(DrawingTool::Pen) << int(DrawingTool::DroppedImage);
    }

    void recordsStackInTheirOrder()
    {
        QFETCH(int, under);
        QFETCH(int, view);
        OpenEditor e;
        QVERIFY(e.ready);
        AnnotationDocument &d = *e.state->document();
        Annotation stroke = Annotation::create(DrawingTool(under), {100, 150}, QColor(255, 200, 0));
        stroke.points.append({400, 150});
        d.add(stroke);
        const QColor viewColour(20, 60, 200);
        Annotation shown;
        if (DrawingTool(view) == DrawingTool::Text) {
            shown = textRecord({200, 120}, QStringLiteral("Plate"), viewColour, true);
        } else {
            QImage image(100, 60, QImage::Format_RGB32);
            image.fill(viewColour);
            shown = Annotation::create(DrawingTool::DroppedImage, {250, 150}, viewColour);
            shown.imagePayload = image;
        }
        d.add(shown);
        Annotation box = Annotation::create(DrawingTool::Rectangle, {150, 100}, Qt::red);
        box.points.append({240, 200});
        d.add(box);
        // Inside the text's plate or the image, on the stroke, off the glyphs.
        const QPointF onBoth =
            DrawingTool(view) == DrawingTool::Text ? QPointF(204, 150) : QPointF(290, 150);

        QImage grabbed;
        QVERIFY(QTest::qWaitFor(
            [&] {
                grabbed = e.window->grabWindow();
                const QColor c = grabbed.pixelColor(e.onCanvas(onBoth));
                return std::abs(c.red() - viewColour.red()) <= 6 &&
                       std::abs(c.green() - viewColour.green()) <= 6 &&
                       std::abs(c.blue() - viewColour.blue()) <= 6;
            },
            5000));
        const QColor crossing = grabbed.pixelColor(e.onCanvas({240, 150}));
        QVERIFY2(crossing.red() > 220 && crossing.green() < 40 && crossing.blue() < 40,
                 qPrintable(crossing.name()));
        // The stroke is there beside it.
        const QColor stroked = grabbed.pixelColor(e.onCanvas({120, 150}));
        const QColor bare = grabbed.pixelColor(e.onCanvas({120, 250}));
        QVERIFY2(std::abs(stroked.red() - bare.red()) + std::abs(stroked.green() - bare.green()) +
                         std::abs(stroked.blue() - bare.blue()) >
                     60,
                 qPrintable(stroked.name() + bare.name()));
    }

    // A Select drag of a drawn shape, as the pointer makes it, shows the shape at its new
    // place and nowhere at its old one, while it goes on and after it.
    void aDraggedShapeIsShownWhereItWasMoved()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        EditorState &s = *e.state;
        Annotation highlighter =
            Annotation::create(DrawingTool::Highlighter, {50, 300}, Qt::yellow);
        highlighter.points.append({300, 300});
        s.document()->add(highlighter);
        Annotation ellipse = Annotation::create(DrawingTool::Ellipse, {300, 50}, Qt::red);
        ellipse.points.append({500, 150});
        s.document()->add(ellipse);
        s.document()->add(Annotation::create(DrawingTool::Step, {100, 100}, Qt::red));
        const auto redAt = [&](QPointF canvasPoint) {
            const QColor c = e.window->grabWindow().pixelColor(e.onCanvas(canvasPoint));
            return c.red() > 200 && c.green() < 60 && c.blue() < 60;
        };
        QVERIFY(QTest::qWaitFor([&] { return redAt({400, 50}); }, 5000));

        s.tools()->setCurrentTool(DrawingTool::Pointer);
        const auto inArea = [&](QPointF canvasPoint) {
            return s.viewport()->canvasToView(canvasPoint);
        };
        s.pressCanvas(inArea({400, 50}));
        for (int step = 1; step <= 6; ++step) {
            s.moveCanvas(inArea({400, 50 + 5.0 * step}));
            e.window->grabWindow();
        }
        const bool during = redAt({400, 80}) && !redAt({400, 50}) && !redAt({400, 60});
        s.releaseCanvas(inArea({400, 80}));

        QVERIFY(during);
        QVERIFY(QTest::qWaitFor([&] { return redAt({400, 80}) && !redAt({400, 50}); }, 5000));
    }

    void toolKeysOnAnyLayout_data()
    {
        QTest::addColumn<uint>("keyCode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tool");

        QTest::newRow("t on US") << 28u << "t"
                                 << "Text";
        QTest::newRow("Shift+v types V") << 55u << "V"
                                         << "Select";
        QTest::newRow("a's key types q on French") << 38u << "q"
                                                   << "Arrow";
        QTest::newRow("l on a Cyrillic layout") << 46u << QString(QChar(0x0434)) << "Line";
        QTest::newRow("e for the ellipse") << 26u << "e"
                                           << "Ellipse";
        QTest::newRow("h for the highlighter") << 43u << "h"
                                               << "Highlighter";
        QTest::newRow("n for a step") << 57u << "n"
                                      << "Step";
        QTest::newRow("x to redact") << 53u << "x"
                                     << "Redact";
        QTest::newRow("c to crop") << 54u << "c"
                                   << "Crop";
    }

    void toolKeysOnAnyLayout()
    {
        QFETCH(uint, keyCode);
        QFETCH(QString, text);
        QFETCH(QString, tool);
        OpenEditor e;
        QVERIFY(e.ready);
        e.state->tools()->setCurrentTool(DrawingTool::Pan);

        const bool swallowed = pressKey(e.window, keyCode, text,
                                        text.at(0).isUpper() ? Qt::ShiftModifier : Qt::NoModifier);

        QVERIFY(swallowed);
        QCOMPARE(toolLabel(e.state->tools()->currentTool()), tool);
    }

    // Ctrl+C copies, Ctrl+S saves and Ctrl+Shift+S asks where to save the picture, the
    // editor staying open; while a text field has the keyboard they are the field's.
    void copyAndSaveKeysUnlessATextFieldHasTheKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<bool>("inField");

        for (const bool inField : {false, true}) {
            const char *where = inField ? " in a text field" : "";
            QTest::addRow("Ctrl+C%s", where) << int(Qt::Key_C) << false << inField;
            QTest::addRow("Ctrl+S%s", where) << int(Qt::Key_S) << false << inField;
            QTest::addRow("Ctrl+Shift+S%s", where) << int(Qt::Key_S) << true << inField;
        }
    }
    void copyAndSaveKeysUnlessATextFieldHasTheKeyboard()
    {
        QFETCH(int, key);
        QFETCH(bool, shift);
        QFETCH(bool, inField);
        QTemporaryDir folder;
        OpenEditor e;
        QVERIFY(e.ready);
        e.delegate->preferences()->setSaveFolder(folder.path());
        EditorSession *session = e.state->session();
        FakeFileChooser chooser;
        session->setImageSources(session->clipboard(), &chooser);
        std::unique_ptr<QQuickItem> field;
        if (inField)
            QVERIFY(field = e.focusedTextField());

        pressKey(e.window, key == Qt::Key_C ? 54 : 39, QString(),
                 Qt::ControlModifier | (shift ? Qt::ShiftModifier : Qt::NoModifier), key);
        session->captureSaver()->waitForSaves();

        const bool acts = !inField;
        QCOMPARE(session->clipboardCopy()->offered() != nullptr, acts && key == Qt::Key_C);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(),
                 acts && key == Qt::Key_S && !shift ? 1 : 0);
        QCOMPARE(chooser.requests(), acts && shift ? 1 : 0);
        QVERIFY(e.window->isVisible());
    }

    void typingInATextFieldNeverSwitchesTools()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        const auto field = e.focusedTextField();
        QVERIFY(field);

        pressKey(e.window, 28, QStringLiteral("t"));

        QCOMPARE(e.state->tools()->currentTool(), DrawingTool::Pen);
        QCOMPARE(field->property("text").toString(), QStringLiteral("t"));
    }

    void anOpenPopupKeepsItsKeys()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        QQmlComponent component(e.window->engine());
        component.setData("import QtQuick\nimport QtQuick.Controls\n"
                          "Popup { focus: true; width: 100; height: 100; Item { focus: true } }",
                          QUrl());
        std::unique_ptr<QObject> popup(component.create());
        QVERIFY2(popup, qPrintable(component.errorString()));
        popup->setParent(e.window->rootObject());
        popup->setProperty("parent", QVariant::fromValue(e.window->rootObject()));
        QMetaObject::invokeMethod(popup.get(), "open");
        QTRY_VERIFY(popup->property("opened").toBool());

        pressKey(e.window, 28, QStringLiteral("t"));
        escape(e.window);

        QCOMPARE(e.state->tools()->currentTool(), DrawingTool::Pen);
        QTRY_VERIFY(!popup->property("visible").toBool()); // Escape closed the popup
        QTest::qWait(50);
        QVERIFY(e.window && e.window->isVisible()); // and not the editor
        pressKey(e.window, 28, QStringLiteral("t"));
        QCOMPARE(e.state->tools()->currentTool(), DrawingTool::Text);
    }

    void eachWheelEventActsOnce()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        const QPoint middle = e.inWindow(QPointF(400, 300));

        turnWheel(e.window, middle, QPoint(0, 120), Qt::ControlModifier);
        QVERIFY(std::abs(e.state->viewport()->zoomScale() - CanvasViewport::zoomPerNotch) < 1e-12);
        turnWheel(e.window, middle, QPoint(0, -240), Qt::ControlModifier);
        QVERIFY(std::abs(e.state->viewport()->zoomScale() - 1 / CanvasViewport::zoomPerNotch) <
                1e-12);
        e.state->viewport()->pinchStep(1 / e.state->viewport()->zoomScale());
        turnWheel(e.window, middle, QPoint(0, 0), Qt::NoModifier, QPoint(5, -3));
        QCOMPARE(e.state->viewport()->panOffset(), QSizeF(5, -3));
        QCOMPARE(e.state->viewport()->basePan(), QSizeF(5, -3));
        turnWheel(e.window, middle, QPoint(0, -120), Qt::ShiftModifier);
        QVERIFY(e.state->viewport()->panOffset().width() < 5 &&
                e.state->viewport()->panOffset().height() == -3);
    }

    // Keys and wheel turns for another window (the settings window) leave the editor alone.
    void otherWindowsEventsAreLeftAlone()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        e.delegate->showSettingsWindow();
        QQuickView *settings = e.delegate->settingsWindow();
        QVERIFY(QTest::qWaitForWindowActive(settings));

        pressKey(settings, 28, QStringLiteral("t"));
        turnWheel(settings, QPoint(50, 50), QPoint(0, 120), Qt::NoModifier);
        turnWheel(settings, QPoint(50, 50), QPoint(0, 120), Qt::ControlModifier);
        // And the editor's own wheel does nothing while another window has the keyboard.
        turnWheel(e.window, e.inWindow(QPointF(10, 10)), QPoint(0, 120), Qt::NoModifier);

        QCOMPARE(e.state->tools()->currentTool(), DrawingTool::Pen);
        QCOMPARE(e.state->viewport()->panOffset(), QSizeF(0, 0));
        QCOMPARE(e.state->viewport()->zoomScale(), 1.0);
    }

    void pinchOnTheCanvasZooms()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        const QPoint at = e.inWindow(QPointF(200, 200));
        const QPointingDevice *device = QPointingDevice::primaryPointingDevice();
        const auto gesture = [&](Qt::NativeGestureType type, double value) {
            QNativeGestureEvent event(type, device, 2, at, at, e.window->mapToGlobal(at), value,
                                      QPointF());
            QCoreApplication::sendEvent(e.window, &event);
        };

        gesture(Qt::BeginNativeGesture, 0);
        gesture(Qt::ZoomNativeGesture, 0.005); // below the 0.01 a pinch needs to begin
        QCOMPARE(e.state->viewport()->zoomScale(), 1.0);
        gesture(Qt::ZoomNativeGesture, 0.5);
        gesture(Qt::ZoomNativeGesture, 1.0);
        gesture(Qt::EndNativeGesture, 0);

        QVERIFY2(std::abs(e.state->viewport()->zoomScale() - 1.005 * 1.5 * 2) < 1e-9,
                 qPrintable(QString::number(e.state->viewport()->zoomScale())));
        QCOMPARE(e.state->viewport()->baseZoom(), e.state->viewport()->zoomScale());
    }

    void theWatchEndsWhenTheWindowCloses()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        QPointer<EditorState> state = e.state;

        e.window->close(); // hidden now, deleted on a later turn

        QVERIFY(state);
        QVERIFY(!e.input->isWatchingEvents());
        pressKey(e.window, 28, QStringLiteral("t"));
        QCOMPARE(state->tools()->currentTool(), DrawingTool::Pen);
        QTRY_VERIFY_WITH_TIMEOUT(!state, 5000);
    }
};

QTEST_MAIN(EditorViewTest)
#include "EditorViewTest.moc"
