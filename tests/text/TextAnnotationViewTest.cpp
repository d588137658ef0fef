#include "editor/EditorWindowFixture.h"
#include "text/TextBoxController.h"
#include "text/TextStyle.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QQuickItem>
#include <QTest>

namespace {

// The view of the record with `id`.
QQuickItem *boxOf(QQuickItem *root, const QUuid &id)
{
    if (root->objectName() == QLatin1String("textBox") &&
        root->property("annotationId").toString() == id.toString(QUuid::WithoutBraces))
        return root;
    for (QQuickItem *child : root->childItems()) {
        if (QQuickItem *found = boxOf(child, id))
            return found;
    }
    return nullptr;
}

TextBoxController *controllerOf(QQuickItem *box)
{
    return box ? box->property("controller").value<TextBoxController *>() : nullptr;
}

void typeText(QWindow *window, const QString &text)
{
    for (QChar c : text)
        QTest::keyClick(window, c.toLatin1());
}

// A click with the text tool at (300, 200); whether the new box took the keyboard.
bool placeNewBox(const OpenEditor &e)
{
    e.state->tools()->setCurrentTool(DrawingTool::Text);
    QTest::mouseClick(e.window, Qt::LeftButton, {}, e.onCanvas({300, 200}));
    return QTest::qWaitFor([&] {
        return e.window->activeFocusItem() &&
               e.window->activeFocusItem()->objectName() == QLatin1String("textField");
    });
}

void clickStepper(const OpenEditor &e, bool up)
{
    QQuickItem *arrow = e.item("fontSizeStepper")
                            ->property(up ? "up" : "down")
                            .value<QObject *>()
                            ->property("indicator")
                            .value<QQuickItem *>();
    QTest::mouseClick(
        e.window, Qt::LeftButton, {},
        arrow->mapToScene(QPointF(arrow->width() / 2, arrow->height() / 2)).toPoint());
}

QString payloadOf(const OpenEditor &e, const QUuid &id)
{
    const int row = e.state->document()->records()->indexOf(id);
    return row >= 0 ? e.state->document()->records()->at(row).textPayload.value_or(QString())
                    : QString();
}

} // namespace

class TextAnnotationViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aNewBoxTakesTypingAndFitsIt()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        e.state->tools()->setCurrentTool(DrawingTool::Text);

        QTest::mouseClick(e.window, Qt::LeftButton, {}, e.onCanvas({300, 200}));
        QCOMPARE(e.state->document()->records()->count(), 1);
        const QUuid id = e.state->document()->records()->at(0).id;
        QQuickItem *box = boxOf(e.window->rootObject(), id);
        QVERIFY(box);
        QQuickItem *field = findItem(box, QLatin1String("textField"));
        QQuickItem *placeholder = findItem(box, QLatin1String("placeholder"));
        QVERIFY(field && placeholder);
        QVERIFY(controllerOf(box)->isEditing());
        QVERIFY(placeholder->isVisible());
        // The text's left edge is at the click.
        const double textLeft = field->mapToItem(e.canvasArea, QPointF(0, 0)).x();
        QVERIFY(std::abs(textLeft - e.state->viewport()->canvasToView({300, 200}).x()) < 1);
        QTRY_COMPARE(e.window->activeFocusItem(), field);

        // Tool letters are text here.
        pressKey(e.window, 28, QStringLiteral("t"));
        pressKey(e.window, 55, QStringLiteral("v"));
        typeText(e.window, QStringLiteral("<b>"));
        pressKey(e.window, 36, QStringLiteral("\r"), Qt::NoModifier, Qt::Key_Return);

        QCOMPARE(payloadOf(e, id), QStringLiteral("tv<b>\n"));
        QCOMPARE(e.state->tools()->currentTool(), DrawingTool::Text);
        QVERIFY(!placeholder->isVisible());
        // The field is exactly as large as its text, the box 8 larger on every side.
        const QSizeF ideal = controllerOf(box)->idealSize();
        QCOMPARE(QSizeF(field->width(), field->height()), ideal);
        QCOMPARE(QSizeF(box->width(), box->height()), ideal + QSizeF(16, 16));
        QVERIFY(ideal.height() > 2 * 24);
    }

    void aBlankBoxGoesWhenEditingEnds_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byEscape");
        QTest::addColumn<int>("left");

        QTest::newRow("nothing, clicked away") << QString() << false << 0;
        QTest::newRow("spaces, by Escape") << QStringLiteral("  ") << true << 0;
        QTest::newRow("a letter stays") << QStringLiteral(" x ") << false << 1;
    }

    void aBlankBoxGoesWhenEditingEnds()
    {
        QFETCH(QString, typed);
        QFETCH(bool, byEscape);
        QFETCH(int, left);
        OpenEditor e;
        QVERIFY(e.ready);
        QVERIFY(placeNewBox(e));

        typeText(e.window, typed);
        if (byEscape)
            escape(e.window);
        else
            QTest::mouseClick(e.window, Qt::LeftButton, {}, e.onCanvas({50, 50}));

        QTRY_COMPARE(e.state->document()->records()->count(), left);
        QVERIFY(e.window && e.window->isVisible());
    }

    // In a text box Ctrl+V pastes plain text, as in any text field; markup stays characters.
    void pastingIntoABoxPastesText()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        QVERIFY(placeNewBox(e));
        QGuiApplication::clipboard()->setText(QStringLiteral("<i>pasted</i>"));

        QTest::keyClick(e.window, Qt::Key_V, Qt::ControlModifier);

        QCOMPARE(e.state->document()->records()->count(), 1);
        QCOMPARE(payloadOf(e, e.state->document()->records()->at(0).id),
                 QStringLiteral("<i>pasted</i>"));
    }

    void twoBlankBoxesGoInOneTurn()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        const Annotation first = textRecord({50, 50}, QStringLiteral(" "));
        const Annotation second = textRecord({200, 50}, QStringLiteral("\n"));
        e.state->document()->add(first);
        e.state->document()->add(second);
        e.state->tools()->setCurrentTool(DrawingTool::Pointer);

        controllerOf(boxOf(e.window->rootObject(), first.id))->setEditing(true);
        controllerOf(boxOf(e.window->rootObject(), second.id))->setEditing(true);
        controllerOf(boxOf(e.window->rootObject(), first.id))->setEditing(false);
        controllerOf(boxOf(e.window->rootObject(), second.id))->setEditing(false);

        QTRY_COMPARE(e.state->document()->records()->count(), 0);
    }

    void selectMoveAndDoubleClickToEdit()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        const Annotation record = textRecord({100, 100}, QStringLiteral("move me"));
        e.state->document()->add(record);
        QQuickItem *box = boxOf(e.window->rootObject(), record.id);
        QVERIFY(box);
        QQuickItem *handle = findItem(box, QLatin1String("scaleHandle"));
        QVERIFY(handle && !handle->isVisible());

        // With the text tool a click on the box reaches the canvas, which places a new box.
        e.state->tools()->setCurrentTool(DrawingTool::Text);
        QTest::mouseClick(e.window, Qt::LeftButton, {}, e.onCanvas({130, 120}));
        QCOMPARE(e.state->document()->records()->count(), 2);
        e.state->tools()->setCurrentTool(DrawingTool::Pointer);
        QTRY_COMPARE(e.state->document()->records()->count(), 1);

        // Select and drag 40 window points right.
        const QPoint start = e.onCanvas({130, 120});
        const double scale = e.state->viewport()->canvasScale();
        QTest::mousePress(e.window, Qt::LeftButton, {}, start);
        QCOMPARE(e.state->document()->selection(), std::optional(record.id));
        QTest::mouseMove(e.window, start + QPoint(20, 0));
        QTest::mouseMove(e.window, start + QPoint(40, 0));
        QTest::mouseRelease(e.window, Qt::LeftButton, {}, start + QPoint(40, 0));
        const QPointF moved = e.state->document()->records()->at(0).points.first();
        QVERIFY2(std::abs(moved.x() - (100 + 40 / scale)) < 0.01,
                 qPrintable(QString::number(moved.x())));
        QCOMPARE(moved.y(), 100.0);
        QVERIFY(handle->isVisible());

        // Two clicks 0.1 s apart: editing, with the keyboard.
        const QPoint on = e.onCanvas(moved + QPointF(30, 20));
        QTest::mouseClick(e.window, Qt::LeftButton, {}, on);
        QTest::mouseClick(e.window, Qt::LeftButton, {}, on, 100);
        QVERIFY(controllerOf(box)->isEditing());
        QTRY_COMPARE(e.window->activeFocusItem(), findItem(box, QLatin1String("textField")));

        // A click on the inset of the editing box stays with the box.
        QTest::mouseClick(e.window, Qt::LeftButton, {}, box->mapToScene(QPointF(3, 3)).toPoint());
        QVERIFY(controllerOf(box)->isEditing());
        QCOMPARE(e.state->document()->selection(), std::optional(record.id));
    }

    // Beside its text a box lets a press through to the shape under it; on its text, the box
    // on top is picked.
    void aShapeUnderABoxIsPickedBesideTheText()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        // The box's left edge crosses the text box, beside its first line.
        Annotation box = Annotation::create(DrawingTool::Rectangle, {200, 50}, Qt::red);
        box.points.append({400, 300});
        const Annotation text =
            textRecord({100, 100}, QStringLiteral("Hi\nA much longer second line"));
        e.state->document()->add(box);
        e.state->document()->add(text);
        e.state->tools()->setCurrentTool(DrawingTool::Pointer);
        QQuickItem *view = boxOf(e.window->rootObject(), text.id);
        QVERIFY(view && view->width() > 150);

        QTest::mouseClick(e.window, Qt::LeftButton, {}, e.onCanvas({200, 118}));
        const std::optional<QUuid> besideTheText = e.state->document()->selection();
        QTest::mouseClick(e.window, Qt::LeftButton, {}, e.onCanvas({115, 118}));
        const std::optional<QUuid> onTheText = e.state->document()->selection();

        QCOMPARE(besideTheText, std::optional(box.id));
        QCOMPARE(onTheText, std::optional(text.id));
    }

    void theHandleScales()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        const Annotation record = textRecord({100, 100}, QStringLiteral("scale"));
        e.state->document()->add(record);
        e.state->tools()->setCurrentTool(DrawingTool::Pointer);
        QQuickItem *box = boxOf(e.window->rootObject(), record.id);
        QTest::mouseClick(e.window, Qt::LeftButton, {}, e.onCanvas({110, 110}));
        QQuickItem *handle = findItem(box, QLatin1String("scaleHandle"));
        QVERIFY(handle->isVisible());
        const double width = box->width();
        const double scale = e.state->viewport()->canvasScale();

        const QPoint grip = handle->mapToScene(QPointF(8, 8)).toPoint();
        const int travel = qRound(50 * scale); // 50 canvas points: +1
        QTest::mousePress(e.window, Qt::LeftButton, {}, grip);
        QTest::mouseMove(e.window, grip + QPoint(travel / 2, 0));
        QTest::mouseMove(e.window, grip + QPoint(travel, 0));
        QTest::mouseRelease(e.window, Qt::LeftButton, {}, grip + QPoint(travel, 0));

        const double stored = e.state->document()->records()->at(0).imageScale;
        QVERIFY2(std::abs(stored - 2) < 0.05, qPrintable(QString::number(stored)));
        // The text doubles; the 8-point inset does not.
        QVERIFY2(std::abs((box->width() - 16) / (width - 16) - stored) < 0.1,
                 qPrintable(QString::number(box->width())));
        QCOMPARE(e.state->document()->records()->at(0).points.first(), QPointF(100, 100));
    }

    void aDragTakenAwayLeavesBoxAndRecordAgreeing_data()
    {
        QTest::addColumn<bool>("scale");
        QTest::addColumn<QString>("takenBy");

        // What the controller does on a tool key is its own test's; these are the view's
        // handlers passing a lost grab on, each drag's.
        QTest::newRow("move, grab taken") << false << QStringLiteral("ungrab");
        QTest::newRow("scale, grab taken") << true << QStringLiteral("ungrab");
        QTest::newRow("scale, handle hidden") << true << QStringLiteral("deselect");
    }

    // A move or scale whose grab goes before the release leaves the box where, and as large
    // as, its record says: the record is as it was before the drag.
    void aDragTakenAwayLeavesBoxAndRecordAgreeing()
    {
        QFETCH(bool, scale);
        QFETCH(QString, takenBy);
        OpenEditor e;
        QVERIFY(e.ready);
        const Annotation record = textRecord({100, 100}, QStringLiteral("hold on"));
        e.state->document()->add(record);
        e.state->tools()->setCurrentTool(DrawingTool::Pointer);
        QQuickItem *box = boxOf(e.window->rootObject(), record.id);
        QVERIFY(box);
        QTest::mouseClick(e.window, Qt::LeftButton, {}, e.onCanvas({110, 110}));
        QQuickItem *handle = findItem(box, QLatin1String("scaleHandle"));
        QVERIFY(handle->isVisible());
        const QSizeF size(box->width(), box->height());
        const QPoint start =
            scale ? handle->mapToScene(QPointF(8, 8)).toPoint() : e.onCanvas({110, 110});

        QTest::mousePress(e.window, Qt::LeftButton, {}, start);
        QTest::mouseMove(e.window, start + QPoint(20, 0));
        QTest::mouseMove(e.window, start + QPoint(60, 0));
        QVERIFY(scale ? box->width() > size.width() + 20 : box->x() > 100 + 20);
        if (takenBy == QLatin1String("deselect"))
            e.state->deselectAnnotation(record.id.toString(QUuid::WithoutBraces));
        else if (QQuickItem *grabber = e.window->mouseGrabberItem())
            grabber->ungrabMouse();
        QTest::mouseMove(e.window, start + QPoint(80, 0));
        QTest::mouseRelease(e.window, Qt::LeftButton, {}, start + QPoint(80, 0));

        const int row = e.state->document()->records()->indexOf(record.id);
        QVERIFY(row >= 0);
        QCOMPARE(e.state->document()->records()->at(row).points.first(), QPointF(100, 100));
        QCOMPARE(e.state->document()->records()->at(row).imageScale, 1.0);
        QCOMPARE(box->position(), QPointF(100, 100));
        QCOMPARE(QSizeF(box->width(), box->height()), size);
    }

    void controlsShowTheSelectionAndWriteOnlyOnUserAction()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        Annotation record = textRecord({100, 100}, QStringLiteral("big"), Qt::red, true);
        record.fontSize = 60;
        record.fontName = QStringLiteral("DejaVu Serif");
        e.state->document()->add(record);
        e.state->tools()->setCurrentTool(DrawingTool::Pointer);
        QQuickItem *toggle = e.item("backgroundSwitch");
        QQuickItem *stepper = e.item("fontSizeStepper");
        QQuickItem *picker = e.item("fontPicker");
        QVERIFY(toggle && stepper && picker);
        QCOMPARE(stepper->property("value").toInt(), 24);
        QCOMPARE(stepper->property("displayText").toString(), QStringLiteral("24 pt"));
        QCOMPARE(picker->property("displayText").toString(), QStringLiteral("Helvetica"));

        // Selecting the record shows its style and writes nothing anywhere.
        e.state->selectAnnotation(record.id.toString());
        QVERIFY(toggle->property("checked").toBool());
        QCOMPARE(stepper->property("value").toInt(), 60);
        QCOMPARE(picker->property("displayText").toString(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(e.state->tools()->fontSize(), 24.0);
        QVERIFY(!e.state->tools()->textHasBackground());
        QCOMPARE(e.state->tools()->fontName(), QStringLiteral("Helvetica"));
        // Nor does a change of the defaults while it is selected.
        e.state->tools()->setFontSize(30);
        QCOMPARE(e.state->document()->records()->at(0).fontSize, 60.0);

        // The stepper's up arrow: 62, for the record and for new boxes.
        clickStepper(e, true);
        QCOMPARE(e.state->document()->records()->at(0).fontSize, 62.0);
        QCOMPARE(e.state->tools()->fontSize(), 62.0);
        QCOMPARE(stepper->property("displayText").toString(), QStringLiteral("62 pt"));

        // A family picked from the list: the record's and the default.
        int index = -1;
        QMetaObject::invokeMethod(picker, "find", Q_RETURN_ARG(int, index),
                                  Q_ARG(QString, QStringLiteral("DejaVu Sans")));
        QVERIFY(index >= 0);
        QMetaObject::invokeMethod(picker, "activated", Q_ARG(int, index));
        QCOMPARE(e.state->document()->records()->at(0).fontName, QStringLiteral("DejaVu Sans"));
        QCOMPARE(e.state->tools()->fontName(), QStringLiteral("DejaVu Sans"));

        // The controls never keep the keyboard: the tool keys still work.
        QVERIFY(!stepper->hasActiveFocus());
        pressKey(e.window, 28, QStringLiteral("t"));
        QCOMPARE(e.state->tools()->currentTool(), DrawingTool::Text);
    }

    void theStepperStaysWithinItsRange_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<bool>("up");
        QTest::addColumn<double>("after");

        QTest::newRow("24 up") << 24.0 << true << 26.0;
        QTest::newRow("8 down") << 8.0 << false << 8.0;
        QTest::newRow("144 up") << 144.0 << true << 144.0;
    }

    void theStepperStaysWithinItsRange()
    {
        QFETCH(double, start);
        QFETCH(bool, up);
        QFETCH(double, after);
        OpenEditor e;
        QVERIFY(e.ready);
        e.state->tools()->setCurrentTool(DrawingTool::Text);
        e.state->tools()->setFontSize(start);

        clickStepper(e, up);

        QCOMPARE(e.state->tools()->fontSize(), after);
    }
};

QTEST_MAIN(TextAnnotationViewTest)
#include "TextAnnotationViewTest.moc"
