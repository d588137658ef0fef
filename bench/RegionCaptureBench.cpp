// Region and window capture figures on the X display in $DISPLAY (make bench gives it a busy
// 3840x2160 screen): from a SelectRegion request to the overlay's first frame on the screen,
// with the longest UI-thread block meanwhile; from accepting a selection to the region in
// the stack; and a window capture next to a full-screen one, each to the list.
//
// The overlay's first frame is timed twice: by its window's frameSwapped, and by another
// X connection that watches a patch of the screen until it shows the frozen picture
// dimmed, which only the overlay's frame with the picture in it can put there (the live
// desktop shows the same pixels undimmed, an empty window shows none of them).

#include "app/AppDelegate.h"
#include "app/RegionOverlayWindows.h"
#include "platform/DesktopWindowing.h"
#include "platform/X11ScreenCapture.h"
#include "region/RegionSelection.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRasterWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
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

/**
 * Runs the event loop until `done` holds, checking it every millisecond, or `timeoutMs`
 * pass. Unlike QTest::qWaitFor, which sleeps the UI thread in 10 ms steps between checks,
 * this never holds back the events being timed (nor counts its own sleeps as blocks).
 */
bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
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

/// Where the screen is watched: away from the pointer's crosshair and loupe and the stack.
const QRect watchedPatch(1800, 1400, 64, 64);

/// The mean difference of two pictures of the same size, per channel.
double meanDifference(const QImage &a, const QImage &b, double factor)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q) * factor) + std::abs(qGreen(p) - qGreen(q) * factor) +
                   std::abs(qBlue(p) - qBlue(q) * factor);
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

/**
 * Watches the patch on its own X connection from its own thread until it shows `live`
 * dimmed as the overlay dims it; the time since `start` then, or -1 after 20 s.
 */
class ScreenWatch
{
public:
    ScreenWatch(const QImage &live, QElapsedTimer start)
    {
        m_thread = std::thread([this, live, start] {
            X11ScreenCapture screen(qgetenv("DISPLAY"));
            // The overlay's dim is #80000000: 127 of 255 parts of each pixel stay.
            const double dimmed = 1.0 - 128.0 / 255.0;
            while (!m_stop && start.elapsed() < 20000) {
                const auto shot = screen.captureAreas({watchedPatch});
                if (shot.ok() && meanDifference(shot.value().first(), live, dimmed) < 4.0 &&
                    meanDifference(shot.value().first(), live, 1.0) > 8.0) {
                    m_seen = start.nsecsElapsed() / 1e6;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            m_done = true;
        });
    }
    ~ScreenWatch()
    {
        m_stop = true;
        m_thread.join();
    }
    bool done() const { return m_done; }
    double seenAt() const { return m_seen; }

private:
    std::thread m_thread;
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_done = false;
    std::atomic<double> m_seen = -1;
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

    // Off the watched patch, so the crosshair and the loupe stay away from it.
    QCursor::setPos(100, 100);
    X11ScreenCapture liveScreen(qgetenv("DISPLAY"));
    std::vector<double> toFrame, toBuilt, onScreen, blocks, toStack, toThumbnail;
    double firstOnScreen = -1;
    int missed = 0;
    for (int i = 0; i <= runs; ++i) {
        settle(100);
        const auto live = liveScreen.captureAreas({watchedPatch});
        if (!live.ok()) {
            std::printf("cannot read the screen: %s\n", qPrintable(live.error()));
            return 1;
        }
        BlockWatch watch;
        QElapsedTimer timer;
        watch.start();
        timer.start();
        ScreenWatch screen(live.value().first(), timer);
        // Called after AppDelegate's own slot: once the overlay's windows are asked to show.
        double built = -1;
        const QMetaObject::Connection phases =
            QObject::connect(manager, &ScreenshotManager::regionSelectionReady, manager,
                             [&] { built = timer.nsecsElapsed() / 1e6; });
        double frame = -1;
        const QMetaObject::Connection shown = QObject::connect(
            delegate.regionOverlayWindows(), &RegionOverlayWindows::firstFrameShown,
            [&] { frame = timer.nsecsElapsed() / 1e6; });
        manager->request(CaptureRequest::ofKind(CaptureRequest::Kind::SelectRegion));
        const bool framed = waitFor([&] { return frame >= 0; }, 20000);
        QObject::disconnect(phases);
        QObject::disconnect(shown);
        if (!framed)
            break;
        // The UI thread runs on while the screen is watched: its blocks count until then.
        if (!waitFor([&] { return screen.done(); }, 21000))
            break;
        const double seen = screen.seenAt();
        const double block = watch.stop();
        settle(200);

        RegionSelection *selection = delegate.regionOverlay()->selection();
        selection->setSelection(QRect(200, 200, 1600, 900));
        const int before = int(finished.size());
        QSignalSpy thumbnails(manager->screenshots(), &QAbstractItemModel::dataChanged);
        timer.restart();
        selection->accept();
        if (!waitFor([&] { return finished.size() > before; }, 20000))
            break;
        const double stack = timer.nsecsElapsed() / 1e6;
        const auto hasThumbnail = [&] {
            return std::any_of(thumbnails.begin(), thumbnails.end(), [](const QList<QVariant> &a) {
                return a.at(2).value<QList<int>>().contains(CaptureListModel::ThumbnailRole);
            });
        };
        if (!waitFor(hasThumbnail, 20000))
            break;
        const double thumbnail = timer.nsecsElapsed() / 1e6;
        if (seen < 0)
            ++missed;
        if (i == 0)
            firstOnScreen = seen;
        if (i > 0) { // the first run warms the connection and the QML up
            toFrame.push_back(frame);
            toBuilt.push_back(built);
            if (seen >= 0)
                onScreen.push_back(seen);
            blocks.push_back(block);
            toStack.push_back(stack);
            toThumbnail.push_back(thumbnail);
        }
        settle(300);
    }
    print("SelectRegion to the overlay's first frame swapped, median", median(toFrame));
    print("SelectRegion to the dimmed picture seen on the screen, median", median(onScreen));
    if (missed > 0)
        std::printf("(the dimmed picture was not seen on the screen in %d of %d runs)\n", missed,
                    runs + 1);
    print("  of which to the overlay's windows shown, median", median(toBuilt));
    print("the first request after the launch, seen on the screen", firstOnScreen);
    print("longest UI-thread block until then, median", median(blocks));
    print("accept to the region in the stack (1600x900), median", median(toStack));
    print("accept to its thumbnail in the stack, median", median(toThumbnail));

    {
        // The same request with no overlay to open: the picture of the desktop alone.
        ScreenshotManager bare(std::make_unique<X11ScreenCapture>(qgetenv("DISPLAY")));
        std::vector<double> toPicture;
        for (int i = 0; i <= runs; ++i) {
            QSignalSpy ready(&bare, &ScreenshotManager::regionSelectionReady);
            QElapsedTimer timer;
            timer.start();
            bare.request(CaptureRequest::ofKind(CaptureRequest::Kind::SelectRegion));
            if (!ready.wait(20000))
                break;
            if (i > 0)
                toPicture.push_back(timer.nsecsElapsed() / 1e6);
            bare.cancelRegion();
            settle(200);
        }
        print("SelectRegion to its picture of the desktop alone, median", median(toPicture));
    }

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
            if (!waitFor([&] { return finished.size() > before; }, 20000))
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
