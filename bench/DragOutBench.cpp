// Drag-out and stack panel figures at 3840x2160 on busy, photo-like content: the UI-thread
// cost of starting a drag, the time from a receiver's request to the PNG file being complete
// (asked at once, and asked at a typical drop 300 ms later), the encoder alone, Qt's default
// PNG save of the same image in the same run, and the panel's frame times while a capture
// slides in on top of 50 others. Runs on $DISPLAY when there is one (make bench gives it a
// 3840x2160 screen), offscreen otherwise.

#include "app/AppDelegate.h"
#include "capture/DragOut.h"
#include "capture/DragOutData.h"
#include "capture/PanelShape.h"
#include "capture/PngEncoder.h"
#include "capture/ScreenshotManager.h"
#include "platform/DesktopWindowing.h"
#include "platform/ScreenCapture.h"
#include "platform/TemporaryFiles.h"

#include <QApplication>
#include <QDrag>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QQmlEngine>
#include <QQuickView>
#include <QRandomGenerator>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const QSize CaptureSize(3840, 2160);

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void print(const char *what, double value, const char *unit = "ms")
{
    std::printf("%-62s %9.2f %s\n", what, value, unit);
    std::fflush(stdout);
}

/// Smooth colour fields, sensor-like noise and lines of text: nothing compresses trivially.
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
    QPainter painter(&image);
    painter.setPen(Qt::black);
    QFont font = painter.font();
    font.setPixelSize(18);
    painter.setFont(font);
    for (int y = 40; y < size.height(); y += 160) {
        painter.drawText(40, y,
                         QStringLiteral("The quick brown fox jumps over the lazy dog "
                                        "0123456789 %1")
                             .arg(y));
    }
    return image;
}

/// Hands out one shared image: fifty captures cost the memory of one.
class SharedImageCapture final : public ScreenCapture
{
public:
    explicit SharedImageCapture(QImage image) : m_image(std::move(image)) {}
    bool requestAccess() override { return true; }
    Result<QList<CaptureDisplay>> displays() override
    {
        return QList<CaptureDisplay>{{QStringLiteral("bench"), QRect(QPoint(), m_image.size())}};
    }
    Result<QImage> capture(const CaptureDisplay &, QSize) override { return m_image; }

private:
    QImage m_image;
};

bool takeCaptures(ScreenshotManager &manager, int count)
{
    QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
    for (int i = 0; i < count; ++i)
        manager.takeScreenshot();
    QElapsedTimer timer;
    timer.start();
    while (finished.size() < count && timer.elapsed() < 60000)
        finished.wait(1000);
    // Thumbnails follow on the same worker; wait until the last has arrived.
    CaptureListModel *list = manager.screenshots();
    while (timer.elapsed() < 120000) {
        bool ready = true;
        for (int row = 0; row < list->count() && ready; ++row)
            ready =
                !list->index(row).data(CaptureListModel::ThumbnailRole).value<QImage>().isNull();
        if (ready)
            return finished.size() == count;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return false;
}

void dragFigures(const QImage &image, int runs)
{
    QTemporaryDir base;
    auto files = std::make_shared<TemporaryFiles>(base.path());
    ScreenshotManager manager(std::make_unique<SharedImageCapture>(image));
    if (!takeCaptures(manager, 1)) {
        std::printf("could not make the capture\n");
        return;
    }
    DragOut dragOut(&manager, files);

    std::vector<double> start, atOnce, atDrop, encode, qtSave;
    qint64 ourBytes = 0, qtBytes = 0;
    for (int i = 0; i < runs; ++i) {
        // What the UI thread does when the drag starts, up to QDrag::exec().
        QElapsedTimer timer;
        timer.start();
        QDrag *drag = dragOut.makeDrag(0);
        start.push_back(timer.nsecsElapsed() / 1e6);
        // A receiver that asks at once waits for the whole encode and the write.
        timer.restart();
        const QByteArray uri = drag->mimeData()->data(QStringLiteral("text/uri-list"));
        atOnce.push_back(timer.nsecsElapsed() / 1e6);
        ourBytes = QFileInfo(QUrl::fromEncoded(uri.trimmed()).toLocalFile()).size();
        delete drag;

        // One that asks at the drop, a moment later, finds the PNG made.
        drag = dragOut.makeDrag(0);
        QThread::msleep(300);
        timer.restart();
        drag->mimeData()->data(QStringLiteral("text/uri-list"));
        atDrop.push_back(timer.nsecsElapsed() / 1e6);
        delete drag;

        timer.restart();
        const Result<QByteArray> png = PngEncoder::encode(image);
        encode.push_back(timer.nsecsElapsed() / 1e6);

        const QString path = base.filePath(QStringLiteral("qt-default.png"));
        timer.restart();
        image.save(path, "PNG");
        qtSave.push_back(timer.nsecsElapsed() / 1e6);
        qtBytes = QFileInfo(path).size();
        QFile::remove(path);
    }
    print("drag start on the UI thread (data + icon, before exec), median", median(start));
    print("drag start on the UI thread, longest", *std::max_element(start.begin(), start.end()));
    print("file complete, receiver asks at once (encode + write), median", median(atOnce));
    print("file complete, receiver asks 300 ms in (write only), median", median(atDrop));
    print("PNG encode alone (libdeflate level 1, SUB), median", median(encode));
    print("QImage::save PNG at default settings, median", median(qtSave));
    print("ratio: file complete at once / Qt default save", median(atOnce) / median(qtSave), "x");
    print("drag-out file size", ourBytes / 1e6, "MB");
    print("Qt default PNG size", qtBytes / 1e6, "MB");
}

void panelFrames(const QImage &image)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    ScreenshotManager manager(std::make_unique<SharedImageCapture>(image));
    if (!takeCaptures(manager, 50)) {
        std::printf("could not make 50 captures\n");
        return;
    }

    std::unique_ptr<DesktopWindowing> windowing = DesktopWindowing::create();
    PanelShape shape(windowing.get());
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQuickView panel(&engine, nullptr);
    panel.setResizeMode(QQuickView::SizeRootObjectToView);
    panel.setInitialProperties({{QStringLiteral("manager"), QVariant::fromValue(&manager)},
                                {QStringLiteral("shape"), QVariant::fromValue(&shape)}});
    panel.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Orrinvale/capture/OverlayView.qml")));
    panel.setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus);
    panel.setColor(Qt::transparent);
    panel.setGeometry(AppDelegate::overlayGeometry(screen->geometry()));

    // One frame: from the end of its animations (the shape is computed there) to its end.
    std::vector<double> frames;
    std::vector<double> intervals;
    QElapsedTimer frame, sincePrevious;
    bool measuring = false;
    QObject::connect(&panel, &QQuickWindow::afterAnimating, [&] {
        if (!measuring)
            return;
        if (sincePrevious.isValid())
            intervals.push_back(sincePrevious.nsecsElapsed() / 1e6);
        sincePrevious.start();
        frame.start();
    });
    QObject::connect(&panel, &QQuickWindow::afterFrameEnd, [&] {
        if (measuring && frame.isValid())
            frames.push_back(frame.nsecsElapsed() / 1e6);
    });
    panel.create();
    windowing->keepOnAllDesktops(&panel);
    shape.attach(&panel);
    panel.show();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    measuring = true;
    manager.takeScreenshot(); // the 51st slides in, the 50 below move down
    settle.restart();
    while (settle.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    measuring = false;

    std::printf("panel frames while a capture slides in over 50 (%s, %d frames)\n",
                qPrintable(QGuiApplication::platformName()), int(frames.size()));
    print("  frame time, median", median(frames));
    print("  frame time, longest",
          frames.empty() ? -1 : *std::max_element(frames.begin(), frames.end()));
    std::printf(
        "%-62s %9d\n", "  frames over 16 ms",
        int(std::count_if(frames.begin(), frames.end(), [](double ms) { return ms > 16; })));
    print("  longest gap between frames",
          intervals.empty() ? -1 : *std::max_element(intervals.begin(), intervals.end()));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = 5;

    std::printf("drag-out of a %dx%d capture, %d runs, %d cores\n", CaptureSize.width(),
                CaptureSize.height(), runs, QThread::idealThreadCount());
    const QImage image = busyContent(CaptureSize);
    dragFigures(image, runs);
    panelFrames(image);
    return 0;
}
