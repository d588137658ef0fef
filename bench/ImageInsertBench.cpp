// Pasting a 24-megapixel JPEG file into the real editor view (1000 x 750) on the X display
// in $DISPLAY: how long the paste blocks the UI thread, the longest stall of the UI thread
// from the paste until the image is inserted, the frame that shows it, the time until it is
// shown, and the memory each inserted image adds.

#include "BenchCapture.h"
#include "capture/ScreenshotManager.h"
#include "editor/EditorSession.h"
#include "editor/EditorState.h"
#include "editor/ImageIntake.h"
#include "platform/Clipboard.h"
#include "platform/Preferences.h"
#include "platform/ScreenCapture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

constexpr int rounds = 5;
const QSize photoSize(6000, 4000);

/** A clipboard holding one copied file, as a file manager leaves it. */
class CopiedFile final : public Clipboard
{
public:
    explicit CopiedFile(const QString &path)
    {
        m_mime.setData(QStringLiteral("text/uri-list"),
                       QUrl::fromLocalFile(path).toEncoded() + "\r\n");
    }
    const QMimeData *mimeData() const override { return &m_mime; }
    // The benchmark only pastes; a copy would have nothing to replace here.
    void setMimeData(QMimeData *data) override { delete data; }

private:
    QMimeData m_mime;
};

/// A photo-like picture: smooth gradients with grain, so the JPEG is of a usual size.
QImage photo()
{
    QImage image(photoSize, QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grain = random.bounded(24);
            line[x] = qRgb((x / 24 + grain) & 0xff, (y / 16 + grain) & 0xff,
                           ((x + y) / 40 + grain) & 0xff);
        }
    }
    return image;
}

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0
                             : 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void frame(QQuickWindow *window)
{
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window, &request);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    {
        QImageWriter writer(path, "jpeg");
        writer.setQuality(90);
        if (!writer.write(photo())) {
            std::printf("cannot write the JPEG: %s\n", qPrintable(writer.errorString()));
            return 1;
        }
    }
    const double fileMiB = double(QFile(path).size()) / 1048576.0;

    Preferences preferences(dir.filePath(QStringLiteral("bench.conf")));
    ScreenshotManager manager(std::make_unique<SolidCapture>(QColor(200, 210, 220)),
                              [] { return std::optional<qreal>(1); });
    if (!takeOneCapture(manager))
        return 1;
    CopiedFile clipboard(path);
    EditorSession session(&manager, 0);
    session.setImageSources(&clipboard, nullptr);

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQuickView view(&engine, nullptr);
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.setInitialProperties({{QStringLiteral("session"), QVariant::fromValue(&session)},
                               {QStringLiteral("preferences"), QVariant::fromValue(&preferences)}});
    view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Orrinvale/editor/EditorView.qml")));
    view.resize(1000, 750);
    view.show();
    auto *editor =
        view.rootObject() ? view.rootObject()->property("editor").value<EditorState *>() : nullptr;
    if (!QTest::qWaitForWindowExposed(&view) || !editor) {
        std::printf("the editor view did not load\n");
        return 1;
    }
    frame(&view);

    // The time a decode takes on its own, for comparison.
    QElapsedTimer decodeTimer;
    decodeTimer.start();
    const bool decodes = ImageIntake::load({QUrl::fromLocalFile(path), {}, {}}).has_value();
    const double decodeMs = decodeTimer.nsecsElapsed() / 1e6;

    std::printf("pasting a %dx%d JPEG file (%.1f MiB) into the editor view, %d times\n",
                photoSize.width(), photoSize.height(), fileMiB, rounds);
    if (!decodes) {
        std::printf("  the JPEG does not decode\n");
        return 1;
    }
    std::fflush(stdout);

    std::vector<double> blocks, stalls, insertions, frames, shown;
    // The insertion on the UI thread: the record joins the list and its view is made.
    QElapsedTimer insertion;
    QObject::connect(editor->document()->records(), &QAbstractItemModel::rowsAboutToBeInserted,
                     [&] { insertion.start(); });
    QObject::connect(editor->document()->records(), &QAbstractItemModel::rowsInserted,
                     [&] { insertions.push_back(insertion.nsecsElapsed() / 1e6); });
    const double before = residentMiB();
    for (int round = 0; round < rounds; ++round) {
        const int count = editor->document()->records()->count();
        // A heartbeat of the UI thread: the longest gap between its beats is the longest
        // time the thread did nothing else.
        QElapsedTimer beat;
        double longestGap = 0;
        QTimer heart;
        heart.setInterval(1);
        QObject::connect(&heart, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, beat.nsecsElapsed() / 1e6);
            beat.restart();
        });

        QElapsedTimer sincePaste;
        sincePaste.start();
        beat.start();
        heart.start();
        editor->pasteImage();
        blocks.push_back(sincePaste.nsecsElapsed() / 1e6);
        while (editor->document()->records()->count() == count && sincePaste.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        // The last gap ends with the insertion itself, which runs inside the wait above.
        longestGap = std::max(longestGap, beat.nsecsElapsed() / 1e6);
        heart.stop();
        stalls.push_back(longestGap);
        QElapsedTimer frameTimer;
        frameTimer.start();
        frame(&view);
        frames.push_back(frameTimer.nsecsElapsed() / 1e6);
        shown.push_back(sincePaste.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
    }
    const double after = residentMiB();
    const int inserted = editor->document()->records()->count();

    std::printf("  paste call on the UI thread: median %.2f ms, worst %.2f ms (goal < 16 ms)\n",
                median(blocks), *std::max_element(blocks.begin(), blocks.end()));
    std::printf("  the insertion (record and view made):");
    for (const double ms : insertions)
        std::printf(" %.2f", ms);
    std::printf(" ms\n");
    std::printf("  longest UI-thread stall from the paste until inserted, insertion included:");
    for (const double stall : stalls)
        std::printf(" %.1f", stall);
    std::printf(" ms (in order)\n");
    std::printf("  the frame that first shows it (the software renderer draws every image shown "
                "in every frame):");
    for (const double ms : frames)
        std::printf(" %.1f", ms);
    std::printf(" ms\n");
    std::printf(
        "  paste to shown: median %.0f ms, worst %.0f ms (read and decode alone: %.0f ms)\n",
        median(shown), *std::max_element(shown.begin(), shown.end()), decodeMs);
    std::printf("  memory: %.0f MiB resident added by %d images, %.0f MiB each (full image "
                "%.0f MiB + shown copy %.0f MiB of pixels)\n",
                after - before, inserted, inserted ? (after - before) / inserted : 0.0,
                double(photoSize.width()) * photoSize.height() * 4 / 1048576.0,
                4096.0 * 4096 * photoSize.height() / photoSize.width() * 4 / 1048576.0);
    std::fflush(stdout);
    return 0;
}
