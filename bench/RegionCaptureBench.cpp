// Region and window capture figures on the X display in $DISPLAY (make bench gives it a busy
// 3840x2160 screen): from a SelectRegion request to the overlay's first frame on the screen,
// with the longest UI-thread block meanwhile; from accepting a selection to the region in
// the stack; and a window capture next to a full-screen one, each to the list.

#include "app/AppDelegate.h"
#include "app/RegionOverlayWindows.h"
#include "platform/DesktopWindowing.h"
#include "platform/X11ScreenCapture.h"
#include "region/RegionSelection.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QRasterWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void print(const char *what, double ms)
{
    std::printf("%-58s %8.1f ms\n", what, ms);
    std::fflush(stdout);
}

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

/// The longest time the UI thread went without running a 1 ms timer, while it runs.
class BlockWatch
{
public:
    BlockWatch()
    {
        m_ticker.setInterval(1);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_sinceTick.nsecsElapsed() / 1e6);
            m_sinceTick.restart();
        });
    }
    void start()
    {
        m_sinceTick.start();
        m_ticker.start();
    }
    double stop()
    {
        m_ticker.stop();
        return std::max(0.0, m_longest - 1.0);
    }

private:
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    double m_longest = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = 9;
    AppDelegate delegate(std::make_unique<X11ScreenCapture>(qgetenv("DISPLAY")),
                         DesktopWindowing::create());
    delegate.applicationDidFinishLaunching();
    ScreenshotManager *manager = delegate.screenshotManager();
    QSignalSpy finished(manager, &ScreenshotManager::captureFinished);
    std::printf("screen: %dx%d\n", QGuiApplication::primaryScreen()->size().width(),
                QGuiApplication::primaryScreen()->size().height());

    std::vector<double> toFrame, blocks, toStack;
    for (int i = 0; i <= runs; ++i) {
        BlockWatch watch;
        QElapsedTimer timer;
        watch.start();
        timer.start();
        manager->request(CaptureRequest::ofKind(CaptureRequest::Kind::SelectRegion));
        if (!QTest::qWaitFor([&] { return delegate.regionOverlay() != nullptr; }, 20000))
            break;
        QSignalSpy shown(delegate.regionOverlay(), &RegionOverlayWindows::firstFrameShown);
        if (!shown.wait(20000))
            break;
        const double frame = timer.nsecsElapsed() / 1e6;
        const double block = watch.stop();
        settle(200);

        RegionSelection *selection = delegate.regionOverlay()->selection();
        selection->setSelection(QRect(200, 200, 1600, 900));
        const int before = int(finished.size());
        timer.restart();
        selection->accept();
        if (!QTest::qWaitFor([&] { return finished.size() > before; }, 20000))
            break;
        const double stack = timer.nsecsElapsed() / 1e6;
        if (i > 0) { // the first run warms the connection and the QML up
            toFrame.push_back(frame);
            blocks.push_back(block);
            toStack.push_back(stack);
        }
        settle(300);
    }
    print("SelectRegion to the overlay's first frame, median", median(toFrame));
    print("longest UI-thread block during it, median", median(blocks));
    print("accept to the region in the stack (1600x900), median", median(toStack));

    // A plain 1200x800 window of our own under the pointer.
    QRasterWindow window;
    window.setTitle(QStringLiteral("Bench Window"));
    window.setGeometry(300, 300, 1200, 800);
    window.show();
    settle(1000);
    QCursor::setPos(window.geometry().center());
    settle(300);
    const auto timeTo = [&](const CaptureRequest &request) {
        std::vector<double> times;
        for (int i = 0; i <= runs; ++i) {
            const int before = int(finished.size());
            QElapsedTimer timer;
            timer.start();
            manager->request(request);
            if (!QTest::qWaitFor([&] { return finished.size() > before; }, 20000))
                return -1.0;
            if (i > 0)
                times.push_back(timer.nsecsElapsed() / 1e6);
            settle(300);
        }
        return median(times);
    };
    print("window capture (1200x800 + frame) to the list, median",
          timeTo(CaptureRequest::ofKind(CaptureRequest::Kind::Window)));
    print("full-screen capture to the list, median",
          timeTo(CaptureRequest::ofScreens(CaptureRequest::Screens::Primary)));
    return 0;
}
