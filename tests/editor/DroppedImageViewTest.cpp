#include "capture/DragOutData.h"
#include "editor/EditorWindowFixture.h"
#include "editor/SystemColors.h"
#include "fakes/FakeClipboard.h"
#include "platform/TemporaryFiles.h"

#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A drag that enters the window at `at` and drops there; whether the drop was accepted.
// `atDrop`, when given, is what the drag's owner answers at the drop.
bool drop(QWindow *window, QPoint at, const QMimeData &mime, const QMimeData *atDrop = nullptr)
{
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDropEvent dropped(at, Qt::CopyAction, atDrop ? atDrop : &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &dropped);
    return dropped.isAccepted();
}

void drag(QWindow *window, QPoint from, QPoint to)
{
    QTest::mousePress(window, Qt::LeftButton, {}, from);
    for (int i = 1; i <= 10; ++i)
        QTest::mouseMove(window, from + (to - from) * i / 10);
    QTest::mouseRelease(window, Qt::LeftButton, {}, to);
}

bool isColour(QRgb pixel, QColor expected)
{
    return qAbs(qRed(pixel) - expected.red()) < 30 && qAbs(qGreen(pixel) - expected.green()) < 30 &&
           qAbs(qBlue(pixel) - expected.blue()) < 30;
}

} // namespace

class DroppedImageViewTest : public QObject
{
    Q_OBJECT

private:
    // Pastes a 100 x 60 green image with Ctrl+V; the window then shows it at the canvas centre.
    static bool pasteGreen(OpenEditor &e, FakeClipboard &clipboard)
    {
        clipboard.hold({{"image/png", png({100, 60}, Qt::green)}});
        e.state->session()->setImageSources(&clipboard, nullptr);
        QTest::keyClick(e.window, Qt::Key_V, Qt::ControlModifier);
        settle();
        return e.state->document()->records()->count() == 1;
    }

    static QPointF centre(const OpenEditor &e)
    {
        return {e.state->viewport()->viewSize().width() / 2,
                e.state->viewport()->viewSize().height() / 2};
    }

private Q_SLOTS:
    void ctrlVPastesAndTheImageShowsSelected()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        FakeClipboard clipboard;
        e.state->tools()->setCurrentTool(DrawingTool::Pointer);

        QVERIFY(pasteGreen(e, clipboard));

        const QPointF c = centre(e);
        QTRY_VERIFY(isColour(e.window->grabWindow().pixel(e.onCanvas(c)), Qt::green));
        const QImage shot = e.window->grabWindow();
        // The blue border just inside the image's left edge, the handle's white on its corner.
        QVERIFY(isColour(shot.pixel(e.onCanvas(c + QPointF(-49, 0))), SystemColors::systemBlue()));
        QVERIFY(isColour(shot.pixel(e.onCanvas(c + QPointF(50, 30))), Qt::white));
    }

    void ctrlVInATextFieldIsTheFieldsOwn()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        FakeClipboard clipboard;
        clipboard.hold({{"image/png", png({10, 10}, Qt::green)}});
        e.state->session()->setImageSources(&clipboard, nullptr);
        const auto field = e.focusedTextField();
        QVERIFY(field);

        QTest::keyClick(e.window, Qt::Key_V, Qt::ControlModifier);
        settle();

        QCOMPARE(e.state->document()->records()->count(), 0);
        QCOMPARE(e.state->tools()->currentTool(), DrawingTool::Pen);
    }

    void dropsAreAcceptedOnlyWithAReadableImage_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("emptyAtDrop");

        QTest::newRow("PNG data") << "image/png" << png({20, 20}, Qt::green) << true << false;
        QTest::newRow("a device") << "text/uri-list" << QByteArray("file:///dev/zero\r\n") << false
                                  << false;
        // An X11 owner may answer nothing when asked again at the drop: what it gave as the
        // drag entered is what lands.
        QTest::newRow("PNG data, no answer at the drop")
            << "image/png" << png({20, 20}, Qt::green) << true << true;
    }

    void dropsAreAcceptedOnlyWithAReadableImage()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, data);
        QFETCH(bool, accepted);
        QFETCH(bool, emptyAtDrop);
        OpenEditor e;
        QVERIFY(e.ready);
        QMimeData mime, empty;
        mime.setData(format, data);
        empty.setData(format, QByteArray());

        QCOMPARE(drop(e.window, e.onCanvas({100, 100}), mime, emptyAtDrop ? &empty : nullptr),
                 accepted);
        settle();

        QCOMPARE(e.state->document()->records()->count(), accepted ? 1 : 0);
        // Where it was dropped, to the pixel the pointer can hit.
        if (accepted)
            QVERIFY(
                QLineF(e.state->document()->records()->at(0).points.first(), {100, 100}).length() <
                1.5);
    }

    void aStackThumbnailDropInsertsItsCapture()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QImage capture(64, 48, QImage::Format_RGB32);
        capture.fill(Qt::magenta);
        QThreadPool pool;
        DragOutData thumbnail(capture, std::make_shared<TemporaryFiles>(dir.path()), &pool);

        QVERIFY(drop(e.window, e.onCanvas({300, 200}), thumbnail));
        settle();

        QCOMPARE(e.state->document()->records()->count(), 1);
        const Annotation &image = e.state->document()->records()->at(0);
        QCOMPARE(image.imagePayload->size(), QSize(64, 48));
        QCOMPARE(image.imagePayload->pixelColor(10, 10), QColor(Qt::magenta));
    }

    void penDrawsAcrossImagesAndSelectPicksTheTopmost()
    {
        OpenEditor e;
        QVERIFY(e.ready);
        FakeClipboard clipboard;
        QVERIFY(pasteGreen(e, clipboard));
        const QPointF c = centre(e);
        const QUuid image = e.state->document()->records()->at(0).id;

        // With the pen, a drag over the image is a stroke; the image stays.
        e.state->tools()->setCurrentTool(DrawingTool::Pen);
        drag(e.window, e.onCanvas(c - QPointF(30, 0)), e.onCanvas(c + QPointF(30, 0)));
        QCOMPARE(e.state->document()->records()->count(), 2);
        QCOMPARE(e.state->document()->records()->at(1).type, DrawingTool::Pen);
        QCOMPARE(e.state->document()->records()->at(0).points.first(), c);
        const Annotation stroke = e.state->document()->records()->at(1);

        // With Select, a press on the stroke picks the stroke drawn over the image.
        e.state->tools()->setCurrentTool(DrawingTool::Pointer);
        QTest::mouseClick(e.window, Qt::LeftButton, {}, e.onCanvas(c));
        QCOMPARE(e.state->document()->selection(), std::optional(stroke.id));

        // Beside the stroke a drag moves the image, and the record changes at the release.
        drag(e.window, e.onCanvas(c + QPointF(0, 20)), e.onCanvas(c + QPointF(40, 40)));
        const QPointF moved = e.state->document()->records()->at(0).points.first();
        QVERIFY2(QLineF(moved, c + QPointF(40, 20)).length() < 1.5,
                 qPrintable(QStringLiteral("%1, %2").arg(moved.x()).arg(moved.y())));
        QCOMPARE(e.state->document()->selection(), std::optional(image));
        QCOMPARE(e.state->document()->records()->at(1), stroke);

        // The handle on its bottom-right corner: 30 to the right makes it 1.6 times as wide.
        const QPointF corner = moved + QPointF(50, 30);
        drag(e.window, e.onCanvas(corner), e.onCanvas(corner + QPointF(30, 0)));
        QVERIFY(qAbs(e.state->document()->records()->at(0).imageScale - 1.6) < 0.02);
        QCOMPARE(e.state->document()->records()->at(0).points.first(), moved);
    }
};

QTEST_MAIN(DroppedImageViewTest)
#include "DroppedImageViewTest.moc"
