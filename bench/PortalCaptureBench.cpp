// Capture time through the desktop's screenshot portal against grim writing a file, on the
// running Wayland session (scripts/run-benchmarks starts headless sway for it). Elsewhere it
// says so and does nothing.
#include "platform/PngDecoder.h"
#include "platform/PortalScreenCapture.h"
#include "platform/ScreenLayout.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

/// Runs a capture on a worker while this thread waits in its event loop, idle, as the
/// program's UI thread does (a polling loop here would take a core from the compositor).
Result<QImage> captureOnWorker(PortalScreenCapture &capture, const CaptureDisplay &display)
{
    QFutureWatcher<Result<QImage>> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(
        QtConcurrent::run([&] { return capture.capture(display, display.nativeGeometry.size()); }));
    if (!watcher.isFinished())
        loop.exec();
    return watcher.result();
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
    const Result<QImage> warmUp = captureOnWorker(capture, display);
    if (!warmUp.ok()) {
        std::printf("portal capture failed: %s\n", qPrintable(warmUp.error()));
        return 1;
    }

    QList<double> portal;
    for (int i = 0; i < Runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        captureOnWorker(capture, display);
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

    // Our own share: reading, decoding and removing a file like the portal's (grim's last).
    QList<double> reading;
    for (int i = 0; i < Runs; ++i) {
        const QString copy = dir.filePath(QStringLiteral("copy.png"));
        QFile::remove(copy);
        QFile::copy(dir.filePath(QStringLiteral("shot.png")), copy);
        QElapsedTimer timer;
        timer.start();
        PortalScreenCapture::takeFile(QUrl::fromLocalFile(copy).toString());
        reading.append(timer.nsecsElapsed() / 1e6);
    }

    // For comparison: the same file through Qt's general reader.
    QFile shot(dir.filePath(QStringLiteral("shot.png")));
    shot.open(QIODevice::ReadOnly);
    const QByteArray bytes = shot.readAll();
    QList<double> qtReading;
    for (int i = 0; i < Runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        QImage::fromData(bytes, "PNG");
        qtReading.append(timer.nsecsElapsed() / 1e6);
    }

    std::printf("screen %dx%d: portal capture into memory median %.1f ms, grim to a file "
                "median %.1f ms, ratio %.2f; reading and decoding the file median %.1f ms "
                "(%s; Qt's reader would take %.1f ms)\n",
                pixelSize.width(), pixelSize.height(), median(portal), median(grim),
                median(portal) / std::max(0.001, median(grim)), median(reading),
                PngDecoder::decodeCommon(bytes) ? "fast path" : "read by Qt", median(qtReading));
    return 0;
}
