// Clipboard figures at 3840x2160 on busy, photo-like content: from a copy to the PNG fully
// read by another program (`xclip -selection clipboard -t image/png -o`), for our copy of a
// compressed capture on the stack and for QClipboard::setImage of the same picture (Qt's
// default PNG path), side by side in one run, and their ratio. Needs $DISPLAY (make bench
// gives it a 3840x2160 screen) and xclip.

#include "capture/ClipboardCopy.h"
#include "capture/ScreenshotManager.h"
#include "platform/ScreenCapture.h"
#include "platform/SystemClipboard.h"
#include "platform/TemporaryFiles.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QSize CaptureSize(3840, 2160);

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

void print(const char *what, double value, const char *unit = "ms")
{
    std::printf("%-62s %9.2f %s\n", what, value, unit);
    std::fflush(stdout);
}

/// Smooth colour fields and sensor-like noise: nothing compresses trivially.
QImage busyContent(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(20240607);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const double u = x / 240.0, v = y / 180.0;
            const int noise = int(random.bounded(25)) - 12;
            const int r = int(128 + 90 * std::sin(u + 0.7 * v)) + noise;
            const int g = int(128 + 90 * std::sin(0.6 * u - v + 1.3)) + noise;
            const int b = int(128 + 90 * std::sin(0.9 * v + 0.4 * u + 2.1)) + noise;
            line[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}

/// Hands out one image as the screen.
class ImageCapture final : public ScreenCapture
{
public:
    explicit ImageCapture(QImage image) : m_image(std::move(image)) {}
    bool requestAccess() override { return true; }
    Result<QList<CaptureDisplay>> displays() override
    {
        return QList<CaptureDisplay>{{QStringLiteral("bench"), QRect(QPoint(), m_image.size())}};
    }
    Result<QImage> capture(const CaptureDisplay &, QSize) override { return m_image; }

private:
    QImage m_image;
};

/// Milliseconds from `copy` to xclip having read the whole PNG, with this program's event
/// loop serving the request meanwhile; -1 when xclip failed or read no PNG.
double copyToPaste(const std::function<void()> &copy)
{
    QProcess xclip;
    QElapsedTimer timer;
    timer.start();
    copy();
    xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "image/png", "-o"});
    QEventLoop loop;
    QObject::connect(&xclip, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = timer.nsecsElapsed() / 1e6;
    const QByteArray png = xclip.readAllStandardOutput();
    if (xclip.exitCode() != 0 || !png.startsWith("\x89PNG"))
        return -1;
    return elapsed;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY") ||
        QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty()) {
        std::printf("clipboard: skipped (needs $DISPLAY and xclip)\n");
        return 0;
    }
    const int runs = 5;
    std::printf("clipboard copy of a %dx%d capture read by xclip, %d runs, %d cores\n",
                CaptureSize.width(), CaptureSize.height(), runs, QThread::idealThreadCount());

    const QImage image = busyContent(CaptureSize);
    ScreenshotManager manager(std::make_unique<ImageCapture>(image),
                              [] { return std::optional<qreal>(1.0); });
    QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
    manager.takeScreenshot();
    finished.wait(60000);
    const quint64 id = manager.captureIdAt(0);
    for (int i = 0; i < 600 && !manager.store()->isCompressed(id); ++i)
        QTest::qWait(100);
    SystemClipboard clipboard;
    ClipboardCopy copy(&manager, &clipboard, std::make_shared<TemporaryFiles>());

    std::vector<double> ours, qts;
    for (int run = 0; run < runs; ++run) {
        ours.push_back(copyToPaste([&] { copy.copyCapture(id); }));
        qts.push_back(copyToPaste([&] { QGuiApplication::clipboard()->setImage(image); }));
    }
    const double oursMedian = median(ours);
    const double qtMedian = median(qts);
    print("copy to PNG read by xclip: ours (compressed capture), median", oursMedian);
    print("copy to PNG read by xclip: QClipboard::setImage, median", qtMedian);
    print("ours / QClipboard::setImage (at most 0.15)", oursMedian / qtMedian, "x");
    return 0;
}
