// Capture time through the desktop's screenshot portal against grim writing a file, on the
// running Wayland session (scripts/run-benchmarks starts headless sway for it). Elsewhere it
// says so and does nothing.
#include "platform/PortalScreenCapture.h"
#include "platform/ScreenLayout.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::printf("not a Wayland session: nothing measured here\n");
        return 0;
    }
    constexpr int Runs = 7;
    ScreenLayoutSnapshot layout;
    PortalScreenCapture capture(QDBusConnection::sessionBus(),
                                [&layout] { return layout.current(); });
    const auto displays = capture.displays();
    if (!displays.ok() || displays.value().isEmpty()) {
        std::printf("no screen\n");
        return 1;
    }
    const CaptureDisplay display = displays.value().first();
    const QSize pixelSize = display.nativeGeometry.size();

    // The portal's first activation starts its backends: warm up once.
    auto warmUp = QtConcurrent::run([&] { return capture.capture(display, pixelSize); });
    while (!warmUp.isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!warmUp.result().ok()) {
        std::printf("portal capture failed: %s\n", qPrintable(warmUp.result().error()));
        return 1;
    }

    QList<double> portal;
    for (int i = 0; i < Runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        auto run = QtConcurrent::run([&] { return capture.capture(display, pixelSize); });
        while (!run.isFinished())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        portal.append(timer.nsecsElapsed() / 1e6);
    }

    QTemporaryDir dir;
    QList<double> grim;
    for (int i = 0; i < Runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        QProcess::execute(QStringLiteral("grim"), {dir.filePath(QStringLiteral("shot.png"))});
        grim.append(timer.nsecsElapsed() / 1e6);
    }

    std::printf("screen %dx%d: portal capture into memory median %.1f ms, grim to a file "
                "median %.1f ms, ratio %.2f\n",
                pixelSize.width(), pixelSize.height(), median(portal), median(grim),
                median(portal) / std::max(0.001, median(grim)));
    return 0;
}
