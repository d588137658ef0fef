// Frame times of the editor's canvas while a long pen stroke is drawn over many annotations,
// in the real editor view (1000 x 750) on the X display in $DISPLAY: the drawing layer as
// built, and for comparison a layer that redraws every record at every frame.
// Each sample is followed by one frame rendered at once, and the time from the sample to
// the end of that frame is its frame time; the UI thread's processor time beside it tells
// work from waiting (for the X server, or for the painter's helper threads).

#include "BenchCapture.h"
#include "capture/ScreenshotManager.h"
#include "editor/DrawingLayer.h"
#include "editor/EditorSession.h"
#include "editor/EditorState.h"
#include "editor/render/ShapePaths.h"
#include "platform/Preferences.h"
#include "platform/ScreenCapture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickPaintedItem>
#include <QQuickView>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

constexpr int committedCount = 1000;
constexpr int strokeSamples = 5000;
constexpr int naiveEvery = 50;
constexpr int dragSamples = 200;

/** A capture of busy pixels, without a screen. */
class BusyCapture final : public ScreenCapture
{
public:
    bool requestAccess() override { return true; }
    Result<QList<CaptureDisplay>> displays() override
    {
        return QList<CaptureDisplay>{{QStringLiteral("bench"), QRect(0, 0, 1512, 982)}};
    }
    Result<QImage> capture(const CaptureDisplay &, QSize pixelSize) override
    {
        QImage image(pixelSize, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = qRgb((x + y) & 0xff, random.bounded(256), (x * 3) & 0xff);
        }
        return image;
    }
};

/** The literal redraw: every record stroked again at every frame. */
class NaiveLayer : public QQuickPaintedItem
{
public:
    NaiveLayer(EditorState *editor, QQuickItem *parent)
        : QQuickPaintedItem(parent), m_editor(editor)
    {
        const auto repaint = [this] { update(); };
        connect(editor->document(), &AnnotationDocument::drawingChanged, this, repaint);
        connect(editor->viewport(), &CanvasViewport::placementChanged, this, repaint);
        connect(editor->document()->records(), &QAbstractItemModel::rowsInserted, this, repaint);
    }

    void paint(QPainter *painter) override { DrawingLayer::paintAll(*painter, *m_editor); }

private:
    EditorState *m_editor;
};

struct Figures
{
    std::vector<double> frames; // in sample order
    std::vector<double> cpu;    // the UI thread's processor time of each frame
    std::vector<int> strokeLength;
};

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

/// The processor time the whole machine has lost to other guests of its host, in ms.
double stolenMs()
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    return fields.size() > 8 ? fields.at(8).toDouble() * 1000.0 / double(sysconf(_SC_CLK_TCK)) : 0;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

// Every kind in turn: box, ellipse, line, arrow, pen (100 points), highlighter (100 points),
// step, solid and pixelated redactions (up to 60 x 40), text on a plate, a 64 x 48 image.
void committedAnnotations(EditorState &editor)
{
    QRandomGenerator random(11);
    const QSizeF canvas = editor.viewport()->viewSize();
    const auto point = [&] {
        return QPointF(random.bounded(canvas.width()), random.bounded(canvas.height()));
    };
    const QList<QColor> colours = {Qt::red, Qt::blue, Qt::green, Qt::yellow, Qt::black};
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    constexpr std::array kinds{
        DrawingTool::Rectangle, DrawingTool::Ellipse,     DrawingTool::Line,
        DrawingTool::Arrow,     DrawingTool::Pen,         DrawingTool::Highlighter,
        DrawingTool::Step,      DrawingTool::Redact,      DrawingTool::Redact,
        DrawingTool::Text,      DrawingTool::DroppedImage};
    for (int i = 0; i < committedCount; ++i) {
        const DrawingTool type = kinds[size_t(i) % kinds.size()];
        const QColor colour = colours.at(i % colours.size());
        const QPointF start = point();
        if (type == DrawingTool::Text) {
            Annotation text =
                Annotation::createText(start, colour, i % 2 == 0, TextDefaults::fontName(), 18);
            text.textPayload = QStringLiteral("Note %1").arg(i);
            editor.document()->add(text);
            continue;
        }
        Annotation record = Annotation::create(type, start, colour);
        if (type == DrawingTool::DroppedImage) {
            record.imagePayload = picture;
        } else if (type == DrawingTool::Pen || type == DrawingTool::Highlighter) {
            QPointF p = start;
            for (int s = 1; s < 100; ++s) {
                p += QPointF(random.bounded(11.0) - 5, random.bounded(11.0) - 5);
                record.points.append(p);
            }
        } else if (type == DrawingTool::Redact) {
            record.pixelate = size_t(i) % kinds.size() == 8;
            record.points.append(start + QPointF(random.bounded(60.0), random.bounded(40.0)));
        } else if (type != DrawingTool::Step) {
            record.points.append(point());
        }
        editor.document()->add(record);
    }
}

// One frame, now: polish, sync, render and present, as the window's next update would.
void frame(QQuickWindow *window)
{
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window, &request);
}

double lastCpu = 0;

double timed(QQuickWindow *window, const std::function<void()> &change)
{
    QElapsedTimer timer;
    const double cpuBefore = threadCpuMs();
    timer.start();
    change();
    frame(window);
    const double ms = timer.nsecsElapsed() / 1e6;
    lastCpu = threadCpuMs() - cpuBefore;
    QCoreApplication::processEvents(); // whatever else was posted, outside the timing
    return ms;
}

QPointF strokePoint(int i, QSizeF area)
{
    const double t = i / double(strokeSamples);
    const double angle = t * 40 * M_PI;
    const double radius = 0.1 + 0.35 * t;
    return QPointF(area.width() * (0.5 + radius * std::cos(angle)),
                   area.height() * (0.5 + radius * std::sin(angle)));
}

Figures drawStroke(QQuickWindow *window, EditorState &editor, int every)
{
    Figures figures;
    const QSizeF area = editor.viewport()->areaSize();
    editor.tools()->setCurrentTool(DrawingTool::Pen);
    figures.frames.push_back(timed(window, [&] { editor.pressCanvas(strokePoint(0, area)); }));
    figures.cpu.push_back(lastCpu);
    figures.strokeLength.push_back(1);
    for (int i = 1; i < strokeSamples; ++i) {
        if (i % every != 0) {
            editor.moveCanvas(strokePoint(i, area));
            continue;
        }
        figures.frames.push_back(timed(window, [&] { editor.moveCanvas(strokePoint(i, area)); }));
        figures.cpu.push_back(lastCpu);
        figures.strokeLength.push_back(i + 1);
    }
    return figures;
}

// Select drags a record of `type` (the newest one) across the canvas, one frame per sample.
std::vector<double> dragRecord(QQuickWindow *window, EditorState &editor, DrawingTool type)
{
    const QList<Annotation> &list = editor.document()->list();
    const auto found = std::find_if(list.rbegin(), list.rend(),
                                    [type](const Annotation &a) { return a.type == type; });
    std::vector<double> frames;
    if (found == list.rend())
        return frames;
    const QUuid id = found->id;
    const QList<QPointF> before = found->points;
    editor.tools()->setCurrentTool(DrawingTool::Pointer);
    frame(window);
    // A step is pressed on its centre, a box on its first corner, a stroke on a point.
    const QPointF grip = editor.viewport()->canvasToView(found->points.first());
    frames.push_back(timed(window, [&] { editor.pressCanvas(grip); }));
    for (int i = 1; i <= dragSamples; ++i) {
        const QPointF to = grip + QPointF(120 * std::sin(i * 0.05), 80 * std::sin(i * 0.03));
        frames.push_back(timed(window, [&] { editor.moveCanvas(to); }));
    }
    frames.push_back(timed(window, [&] { editor.releaseCanvas(grip); }));
    // The press must have taken the record meant, not one lying over its grip.
    const auto moved =
        std::find_if(list.begin(), list.end(), [&id](const Annotation &a) { return a.id == id; });
    if (moved == list.end() || moved->points == before) {
        std::printf("  the drag did not move the record\n");
        return {};
    }
    return frames;
}

void reportDrag(const char *what, const std::vector<double> &frames)
{
    if (frames.empty()) {
        std::printf("  drag of %s: no such record\n", what);
        return;
    }
    std::printf("  drag of %s, %zu frames: median %.2f ms, 99th percentile %.2f ms, worst %.2f "
                "ms\n",
                what, frames.size(), percentile(frames, 0.5), percentile(frames, 0.99),
                *std::max_element(frames.begin(), frames.end()));
    std::fflush(stdout);
}

void report(const char *what, const Figures &figures)
{
    std::printf("%s\n", what);
    std::printf("  frames measured %zu: median %.2f ms, 99th percentile %.2f ms, worst %.2f ms\n",
                figures.frames.size(), percentile(figures.frames, 0.5),
                percentile(figures.frames, 0.99),
                *std::max_element(figures.frames.begin(), figures.frames.end()));
    std::vector<size_t> order(figures.frames.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return figures.frames[a] > figures.frames[b]; });
    const auto over = std::count_if(figures.frames.begin(), figures.frames.end(),
                                    [](double ms) { return ms >= 16; });
    std::printf("  frames of 16 ms or more: %td; the slowest:", over);
    const size_t shown = std::min<size_t>(3, order.size());
    for (size_t k = 0; k < shown; ++k)
        std::printf(" %.1f ms (%.1f ms of processor time, sample %d)%s", figures.frames[order[k]],
                    figures.cpu[order[k]], figures.strokeLength[order[k]],
                    k + 1 < shown ? "," : "");
    std::printf("\n  the UI thread's processor time per frame: median %.2f ms, worst %.2f ms\n",
                percentile(figures.cpu, 0.5),
                *std::max_element(figures.cpu.begin(), figures.cpu.end()));
    std::printf("  median by stroke length:");
    for (int bucket = 0; bucket < 5; ++bucket) {
        std::vector<double> part;
        for (size_t i = 0; i < figures.frames.size(); ++i) {
            if ((figures.strokeLength[i] - 1) / 1000 == bucket)
                part.push_back(figures.frames[i]);
        }
        std::printf("  %d-%d: %.2f", bucket * 1000 + 1, bucket * 1000 + 1000,
                    percentile(part, 0.5));
    }
    std::printf(" ms\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    Preferences preferences(dir.filePath(QStringLiteral("bench.conf")));
    ScreenshotManager manager(std::make_unique<BusyCapture>(),
                              [] { return std::optional<qreal>(1); });
    if (!takeOneCapture(manager))
        return 1;

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    const auto openEditor = [&](EditorSession &session) {
        auto view = std::make_unique<QQuickView>(&engine, nullptr);
        view->setResizeMode(QQuickView::SizeRootObjectToView);
        view->setInitialProperties(
            {{QStringLiteral("session"), QVariant::fromValue(&session)},
             {QStringLiteral("preferences"), QVariant::fromValue(&preferences)}});
        view->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Orrinvale/editor/EditorView.qml")));
        view->resize(1000, 750);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            view.reset();
        return view;
    };

    std::printf("editor canvas, window 1000x750, %d committed annotations of every kind in turn "
                "(box, ellipse, line, arrow, pen and highlighter strokes of 100 points, step, "
                "solid and pixelated redaction, text, image), a %d-sample pen stroke\n",
                committedCount, strokeSamples);

    {
        EditorSession session(&manager, 0);
        auto view = openEditor(session);
        auto *editor =
            view ? view->rootObject()->property("editor").value<EditorState *>() : nullptr;
        if (!editor) {
            std::printf("the editor view did not load\n");
            return 1;
        }
        committedAnnotations(*editor);
        frame(view.get());
        const double stolenBefore = stolenMs();
        const Figures drawn = drawStroke(view.get(), *editor, 1);
        const double stolen = stolenMs() - stolenBefore;
        report("drawing layer (committed cached, stroke grown per sample), every sample a frame:",
               drawn);
        std::printf("  processor time the host took from this machine meanwhile: %.0f ms\n",
                    stolen);
        std::printf("  release (stroke joins the committed picture): %.2f ms\n",
                    timed(view.get(), [&] {
                        editor->releaseCanvas(
                            strokePoint(strokeSamples - 1, editor->viewport()->areaSize()));
                    }));
        auto *layer = view->rootObject()->findChild<DrawingLayer *>(QStringLiteral("drawingLayer"));
        std::vector<double> pans, exact;
        for (int i = 0; i < 20 && layer; ++i) {
            QElapsedTimer sincePan;
            sincePan.start();
            pans.push_back(timed(view.get(), [&] { editor->viewport()->wheelPan(QSizeF(3, 2)); }));
            while (!layer->isSettled() && sincePan.elapsed() < 20000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            frame(view.get());
            exact.push_back(sincePan.nsecsElapsed() / 1e6);
        }
        std::printf("  a pan step (the old picture moved at once): median %.2f ms, worst %.2f ms\n",
                    percentile(pans, 0.5), *std::max_element(pans.begin(), pans.end()));
        std::printf(
            "  ... until the exact picture, rendered on a worker, is shown: median %.2f ms, "
            "worst %.2f ms\n",
            percentile(exact, 0.5), *std::max_element(exact.begin(), exact.end()));
        // The long stroke lies over most of the canvas and would take every press: it is
        // dragged first, then taken back, and the drags of the others are over the 1,000
        // records.
        reportDrag("the long stroke", dragRecord(view.get(), *editor, DrawingTool::Pen));
        editor->undo();
        editor->undo();
        frame(view.get());
        for (const auto &[type, name] :
             {std::pair{DrawingTool::Rectangle, "a box"},
              std::pair{DrawingTool::Pen, "a pen stroke"}, std::pair{DrawingTool::Step, "a step"},
              std::pair{DrawingTool::Redact, "a redaction"}})
            reportDrag(name, dragRecord(view.get(), *editor, type));
    }
    {
        EditorSession session(&manager, 0);
        auto view = openEditor(session);
        auto *editor =
            view ? view->rootObject()->property("editor").value<EditorState *>() : nullptr;
        auto *layer =
            view ? view->rootObject()->findChild<QQuickItem *>(QStringLiteral("drawingLayer"))
                 : nullptr;
        if (!editor || !layer) {
            std::printf("the editor view did not load\n");
            return 1;
        }
        layer->setVisible(false);
        auto *naive = new NaiveLayer(editor, layer->parentItem());
        naive->setSize(layer->size());
        committedAnnotations(*editor);
        frame(view.get());
        char title[160];
        std::snprintf(title, sizeof title,
                      "naive full redraw (every record stroked each frame), every %dth sample a "
                      "frame:",
                      naiveEvery);
        report(title, drawStroke(view.get(), *editor, naiveEvery));
    }
    return 0;
}
