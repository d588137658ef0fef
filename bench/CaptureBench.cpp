// Capture figures on the X display in $DISPLAY (make bench gives it a busy 3840x2160 screen):
// the bare grab floor, takeScreenshot-to-list, the longest UI-thread block while capturing,
// and, given the program's path, its start-up time to the bus name with the tray shown.

#include "capture/ScreenshotManager.h"
#include "platform/X11ScreenCapture.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void print(const char *what, double ms)
{
    std::printf("%-58s %8.1f ms\n", what, ms);
    std::fflush(stdout);
}

double grabFloor(int runs)
{
    X11ScreenCapture capture(qgetenv("DISPLAY"));
    const auto displays = capture.displays();
    if (!displays.ok())
        return -1;
    const CaptureDisplay display = displays.value().first();
    capture.capture(display, display.nativeGeometry.size()); // attaches the segment
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const auto image = capture.capture(display, display.nativeGeometry.size());
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (!image.ok())
            return -1;
    }
    return median(times);
}

struct ManagerFigures
{
    double toList = 0;
    double longestBlock = 0;
};

ManagerFigures captureToList(int runs)
{
    ScreenshotManager manager(std::make_unique<X11ScreenCapture>(qgetenv("DISPLAY")));
    // A ticking timer: the longest gap between ticks is the longest time the UI thread was busy.
    QElapsedTimer sinceTick;
    double longestGap = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });

    std::vector<double> times;
    QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
    manager.takeScreenshot(); // warm-up: connection and segment
    finished.wait(10000);
    sinceTick.start();
    ticker.start();
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        manager.takeScreenshot();
        if (!finished.wait(10000))
            break;
        times.push_back(timer.nsecsElapsed() / 1e6);
        QElapsedTimer settle; // let the thumbnail finish before the next round
        settle.start();
        while (settle.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    ticker.stop();
    return {median(times), std::max(0.0, longestGap - 1.0)};
}

double startupTime(const QString &program, int runs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return -1;
    const QString name = QStringLiteral("org.orrinvale.Orrinvale");
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QDBusServiceWatcher watcher(name, bus, QDBusServiceWatcher::WatchForRegistration);
        QSignalSpy registered(&watcher, &QDBusServiceWatcher::serviceRegistered);
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer timer;
        timer.start();
        process.start(program, {});
        if (!registered.wait(20000))
            return -1;
        times.push_back(timer.nsecsElapsed() / 1e6);
        bus.call(QDBusMessage::createMethodCall(name, QStringLiteral("/org/orrinvale/Orrinvale"),
                                                QStringLiteral("org.orrinvale.Orrinvale"),
                                                QStringLiteral("Quit")));
        process.waitForFinished(10000);
    }
    return median(times);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = 15;

    std::printf("screen: %dx%d\n", QGuiApplication::primaryScreen()->size().width(),
                QGuiApplication::primaryScreen()->size().height());
    print("capture floor (SHM GetImage + copy, segment kept), median", grabFloor(runs));
    const ManagerFigures figures = captureToList(runs);
    print("TakeScreenshot to capture in the list, median", figures.toList);
    print("longest UI-thread block during captures", figures.longestBlock);
    if (argc > 1)
        print("start to D-Bus name taken (tray shown), median",
              startupTime(QString::fromLocal8Bit(argv[1]), 5));
    return 0;
}
