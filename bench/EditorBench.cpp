// Frame times of the editor's canvas while a long pen stroke is drawn over many annotations,
// in the real editor view (1000 x 750) on the X display in $DISPLAY: the drawing layer as
// built, and for comparison a layer that redraws every record at every frame.
// Each sample is followed by one frame rendered at once, and the time from the sample to
// the end of that frame is its frame time.

#include "BenchCapture.h"
#include "capture/ScreenshotManager.h"
#include "editor/DrawingLayer.h"
#include "editor/EditorSession.h"
#include "editor/EditorState.h"
#include "editor/render/ShapePaths.h"
#include "platform/Preferences.h"
#include "platform/ScreenCapture.h"

#include <QElapsedTimer>
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
#include <functional>
#include <vector>

namespace {

constexpr int committedCount = 1000;
constexpr int strokeSamples = 5000;
constexpr int naiveEvery = 50;

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
    std::vector<int> strokeLength;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

void committedAnnotations(EditorState &editor)
{
    QRandomGenerator random(11);
    const QSizeF canvas = editor.viewport()->viewSize();
    const auto point = [&] {
        return QPointF(random.bounded(canvas.width()), random.bounded(canvas.height()));
    };
    const QList<QColor> colours = {Qt::red, Qt::blue, Qt::green, Qt::yellow, Qt::black};
    for (int i = 0; i < committedCount; ++i) {
        const auto type = std::array{DrawingTool::Pen, DrawingTool::Rectangle, DrawingTool::Line,
                                     DrawingTool::Arrow}[i % 4];
        Annotation record = Annotation::create(type, point(), colours.at(i % colours.size()));
        const int samples = type == DrawingTool::Pen ? 100 : 20;
        QPointF p = record.points.first();
        for (int s = 1; s < samples; ++s) {
            p += QPointF(random.bounded(11.0) - 5, random.bounded(11.0) - 5);
            record.points.append(p);
        }
        if (type != DrawingTool::Pen)
            record.points.append(point());
        editor.document()->add(record);
    }
}

// One frame, now: polish, sync, render and present, as the window's next update would.
void frame(QQuickWindow *window)
{
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window, &request);
}

double timed(QQuickWindow *window, const std::function<void()> &change)
{
    QElapsedTimer timer;
    timer.start();
    change();
    frame(window);
    const double ms = timer.nsecsElapsed() / 1e6;
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
    figures.strokeLength.push_back(1);
    for (int i = 1; i < strokeSamples; ++i) {
        if (i % every != 0) {
            editor.moveCanvas(strokePoint(i, area));
            continue;
        }
        figures.frames.push_back(timed(window, [&] { editor.moveCanvas(strokePoint(i, area)); }));
        figures.strokeLength.push_back(i + 1);
    }
    return figures;
}

void report(const char *what, const Figures &figures)
{
    std::printf("%s\n", what);
    std::printf("  frames measured %zu: median %.2f ms, 99th percentile %.2f ms, worst %.2f ms\n",
                figures.frames.size(), percentile(figures.frames, 0.5),
                percentile(figures.frames, 0.99),
                *std::max_element(figures.frames.begin(), figures.frames.end()));
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

    std::printf("editor canvas, window 1000x750, %d committed annotations (pen strokes of 100 "
                "points, boxes, lines, arrows), a %d-sample pen stroke\n",
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
        report("drawing layer (committed cached, stroke grown per sample), every sample a frame:",
               drawStroke(view.get(), *editor, 1));
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
