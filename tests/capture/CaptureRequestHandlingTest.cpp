#include "capture/ScreenshotManager.h"
#include "fakes/FakeScreenCapture.h"
#include "fakes/StdoutCapture.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using Kind = CaptureRequest::Kind;
using Screens = CaptureRequest::Screens;

namespace {

// LEFT at scale 1 and RIGHT at scale 2 on a 3840x1080 X screen, as Qt places them.
DesktopGeometry mixedScales()
{
    return DesktopGeometry({{QStringLiteral("LEFT"), QRect(0, 0, 1920, 1080), 1.0},
                            {QStringLiteral("RIGHT"), QRect(1920, 0, 960, 540), 2.0}});
}

/// The X screen's device pixels: green on LEFT, blue on RIGHT.
QImage deviceDesktop()
{
    QImage image(3840, 1080, QImage::Format_RGB32);
    image.fill(Qt::green);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        std::fill(line + 1920, line + 3840, qRgb(0, 0, 255));
    }
    return image;
}

struct Fixture
{
    Fixture() : capture(new FakeScreenCapture), manager(std::unique_ptr<ScreenCapture>(capture))
    {
        FakeScreenCapture::Config config;
        config.desktop = deviceDesktop();
        capture->setConfig(config);
        manager.setDesktopSource(mixedScales);
        manager.setPointerSource([this] { return pointer; });
    }

    /// Hands `request` over and waits until it has ended, either way.
    bool run(const CaptureRequest &request)
    {
        QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
        QSignalSpy failed(&manager, &ScreenshotManager::captureFailed);
        if (!manager.request(request).isEmpty())
            return false;
        return QTest::qWaitFor([&] { return finished.size() + failed.size() > 0; }, 10000) &&
               finished.size() == 1;
    }

    FakeScreenCapture *capture; // owned by the manager
    ScreenshotManager manager;
    QPoint pointer{100, 100};
};

} // namespace

class CaptureRequestHandlingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A bad value is refused with one line naming it; nothing is asked of the screen.
    void refusesBadValues_data()
    {
        QTest::addColumn<CaptureRequest>("request");
        QTest::addColumn<QString>("line");

        QTest::newRow("region off every screen")
            << CaptureRequest::ofRegion(QRect(3000, 0, 10, 10))
            << "Refused the capture: region \"3000,0,10x10\" lies outside every screen.";
        QTest::newRow("region in the gap below the small screen")
            << CaptureRequest::ofRegion(QRect(2000, 600, 10, 10))
            << "Refused the capture: region \"2000,600,10x10\" lies outside every screen.";
        QTest::newRow("zero size") << CaptureRequest::ofRegion(QRect(0, 0, 0, 10))
                                   << "Refused the capture: region \"0,0,0x10\" has a zero or "
                                      "negative size.";
        QTest::newRow("delay too long")
            << CaptureRequest::ofKind(Kind::Window).after(61)
            << "Refused the capture: delay \"61\" is not a whole number of seconds from 0 to 60.";
        QTest::newRow("no region to repeat")
            << CaptureRequest::ofKind(Kind::LastRegion)
            << "Refused the capture: there is no region to repeat yet.";
    }

    void refusesBadValues()
    {
        QFETCH(CaptureRequest, request);
        QFETCH(QString, line);
        Fixture f;
        QSignalSpy failed(&f.manager, &ScreenshotManager::captureFailed);
        StdoutCapture out;

        const QString reason = f.manager.request(request);
        QTest::qWait(100);

        QVERIFY(line.contains(reason) && !reason.isEmpty());
        QCOMPARE(out.takeLines(), QStringList{line});
        QCOMPARE(failed.size(), 1);
        QCOMPARE(f.capture->captureCalls(), 0);
        QCOMPARE(f.manager.count(), 0);
    }

    // Each request reads the device pixels of the parts it covers, and its picture is at
    // the highest scale among them.
    void capturesTheAreaAsked_data()
    {
        QTest::addColumn<CaptureRequest>("request");
        QTest::addColumn<QRect>("window"); // what the backend says is under the pointer
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QList<QRect>>("areas");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qreal>("ratio");

        const QPoint onLeft(100, 100);
        const QPoint onRight(2000, 100);
        QTest::newRow("region across the screens")
            << CaptureRequest::ofRegion(QRect(1900, 100, 40, 10)) << QRect() << onLeft
            << QList<QRect>{QRect(1900, 100, 20, 10), QRect(1920, 200, 40, 20)} << QSize(80, 20)
            << 2.0;
        QTest::newRow("region on the left")
            << CaptureRequest::ofRegion(QRect(10, 10, 30, 20)) << QRect() << onLeft
            << QList<QRect>{QRect(10, 10, 30, 20)} << QSize(30, 20) << 1.0;
        QTest::newRow("screen under the pointer")
            << CaptureRequest::ofScreens(Screens::Pointer) << QRect() << onRight
            << QList<QRect>{QRect(1920, 0, 1920, 1080)} << QSize(1920, 1080) << 2.0;
        QTest::newRow("all screens")
            << CaptureRequest::ofScreens(Screens::All) << QRect() << onLeft
            << QList<QRect>{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1920, 1080)}
            << QSize(5760, 2160) << 2.0;
        QTest::newRow("window with its frame")
            << CaptureRequest::ofKind(Kind::Window) << QRect(100, 50, 300, 200) << onLeft
            << QList<QRect>{QRect(100, 50, 300, 200)} << QSize(300, 200) << 1.0;
        QTest::newRow("window partly off the screens")
            << CaptureRequest::ofKind(Kind::Window) << QRect(-100, 50, 300, 200) << onLeft
            << QList<QRect>{QRect(0, 50, 200, 200)} << QSize(200, 200) << 1.0;
        QTest::newRow("no window: the pointer's screen")
            << CaptureRequest::ofKind(Kind::Window) << QRect() << onRight
            << QList<QRect>{QRect(1920, 0, 1920, 1080)} << QSize(1920, 1080) << 2.0;
    }

    void capturesTheAreaAsked()
    {
        QFETCH(CaptureRequest, request);
        QFETCH(QRect, window);
        QFETCH(QPoint, pointer);
        QFETCH(QList<QRect>, areas);
        QFETCH(QSize, size);
        QFETCH(qreal, ratio);
        Fixture f;
        FakeScreenCapture::Config config;
        config.desktop = deviceDesktop();
        config.windowUnderPointer = window;
        f.capture->setConfig(config);
        f.pointer = pointer;

        QVERIFY(f.run(request));

        QCOMPARE(f.capture->lastAreas(), areas);
        const QImage image = f.manager.imageAt(0);
        QCOMPARE(image.size(), size);
        QCOMPARE(image.devicePixelRatio(), ratio);
        // Device x 1920 and beyond is the right screen's blue.
        const bool startsOnRight = areas.first().x() >= 1920;
        QCOMPARE(image.pixelColor(0, 0), QColor(startsOnRight ? Qt::blue : Qt::green));
    }

    // Where windows are hidden (Wayland), the desktop's chooser gives the window, or one
    // line says why there is none.
    void windowsHiddenFromUsAreChosenOnTheDesktop()
    {
        Fixture f;
        FakeScreenCapture::Config config;
        config.windowError = QStringLiteral("no windows here");
        config.chosenWindow = FakeScreenCapture::pattern(QSize(321, 123), 1);
        f.capture->setConfig(config);

        QVERIFY(f.run(CaptureRequest::ofKind(Kind::Window)));
        QCOMPARE(f.manager.imageAt(0).size(), QSize(321, 123));

        config.chosenWindow = QImage();
        f.capture->setConfig(config);
        StdoutCapture out;
        QVERIFY(!f.run(CaptureRequest::ofKind(Kind::Window)));
        QCOMPARE(out.takeLines(),
                 QStringList{
                     QStringLiteral("Failed to capture screen: the desktop cannot pick a window")});
        QCOMPARE(f.manager.count(), 1);
    }

    // The last region is the one given last, then the one accepted last in the overlay.
    void repeatsTheLastRegion()
    {
        Fixture f;
        QVERIFY(f.run(CaptureRequest::ofRegion(QRect(10, 10, 30, 20))));

        QVERIFY(f.run(CaptureRequest::ofKind(Kind::LastRegion)));
        QCOMPARE(f.capture->lastAreas(), QList<QRect>{QRect(10, 10, 30, 20)});

        DesktopPicture picture;
        picture.parts = {{QRect(0, 0, 1920, 1080), deviceDesktop().copy(0, 0, 1920, 1080)}};
        f.manager.acceptRegion(picture, QRect(5, 6, 7, 8));
        QVERIFY(f.run(CaptureRequest::ofKind(Kind::LastRegion)));
        QCOMPARE(f.capture->lastAreas(), QList<QRect>{QRect(5, 6, 7, 8)});
        QCOMPARE(f.manager.count(), 4);
        QCOMPARE(f.manager.imageAt(1).size(), QSize(7, 8)); // the accepted one
    }

    void delayedRequestsWaitTheirSeconds()
    {
        Fixture f;
        QSignalSpy finished(&f.manager, &ScreenshotManager::captureFinished);
        QElapsedTimer clock;
        clock.start();

        QCOMPARE(f.manager.request(CaptureRequest::ofScreens(Screens::All).after(1)), QString());
        QTest::qWait(300);
        const int early = f.capture->captureCalls();

        QVERIFY(finished.wait(10000));
        QCOMPARE(early, 0);
        QVERIFY(clock.elapsed() >= 1000);
        QCOMPARE(f.manager.imageAt(0).size(), QSize(5760, 2160));
    }

    // The overlay's request: one picture of every screen and the windows in logical pixels;
    // accepting adds the selection at the real pixels of its screens, cancelling adds nothing
    // and says nothing.
    void selectionHandsOverTheWholeDesktop()
    {
        Fixture f;
        FakeScreenCapture::Config config;
        config.desktop = deviceDesktop();
        config.visibleWindows = {QRect(1940, 20, 200, 100), QRect(10, 10, 100, 100)};
        f.capture->setConfig(config);
        QSignalSpy ready(&f.manager, &ScreenshotManager::regionSelectionReady);
        QSignalSpy failed(&f.manager, &ScreenshotManager::captureFailed);
        StdoutCapture out;

        QCOMPARE(f.manager.request(CaptureRequest::ofKind(Kind::SelectRegion)), QString());
        QVERIFY(ready.wait(10000));
        const auto picture = ready[0][0].value<DesktopPicture>();
        const auto windows = ready[0][1].value<QList<QRect>>();
        QCOMPARE(picture.parts.size(), 2);
        QCOMPARE(windows, (QList<QRect>{QRect(1930, 10, 100, 50), QRect(10, 10, 100, 100)}));
        QCOMPARE(f.manager.count(), 0);

        f.manager.cancelRegion();
        QCOMPARE(f.manager.count(), 0);
        QCOMPARE(failed.size(), 1);

        f.manager.acceptRegion(picture, QRect(1910, 0, 20, 10));
        QCOMPARE(f.manager.count(), 1);
        const QImage image = f.manager.imageAt(0);
        QCOMPARE(image.size(), QSize(40, 20));
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::green));
        QCOMPARE(image.pixelColor(39, 0), QColor(Qt::blue));
        QCOMPARE(f.manager.lastRegion(), QRect(1910, 0, 20, 10));
        QCOMPARE(out.takeLines(), QStringList());
    }
};

Q_DECLARE_METATYPE(CaptureRequest)

QTEST_MAIN(CaptureRequestHandlingTest)
#include "CaptureRequestHandlingTest.moc"
