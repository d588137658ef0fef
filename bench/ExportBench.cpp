// Time of "Save Edits"' render: a 3840x2160 capture shown in the editor's canvas (about
// 940 x 529 points, so every length is scaled about 4x) with 100 and with 1,000 annotations
// of every kind, a few of them crossing the capture's edges so the canvas grows; and what one
// pixelated redaction of 1000 x 1000 pixels adds to it. Median of several renders.

#include "editor/render/ExportRenderer.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

namespace {

const QSize capturePixels(3840, 2160);
const QSizeF viewSize(940, 528.75);

QImage busyCapture()
{
    QImage image(capturePixels, QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x / 7 + y / 5) & 0xff, random.bounded(256), (x * 3) & 0xff);
    }
    return image;
}

// Every kind in turn: pen and highlighter strokes of 200 points, box, ellipse, line, arrow,
// step, solid and pixelated redactions, text on a plate, a 120 x 80 image.
QList<Annotation> mixed(int count)
{
    QRandomGenerator random(17);
    const QColor colours[] = {Qt::red, Qt::blue, Qt::green, Qt::yellow, Qt::black, Qt::white};
    const auto somewhere = [&] {
        // Mostly inside, some up to 30 points beyond an edge.
        return QPointF(random.bounded(viewSize.width() + 60) - 30,
                       random.bounded(viewSize.height() + 60) - 30);
    };
    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    constexpr DrawingTool kinds[] = {
        DrawingTool::Pen,     DrawingTool::Highlighter, DrawingTool::Rectangle,
        DrawingTool::Ellipse, DrawingTool::Line,        DrawingTool::Arrow,
        DrawingTool::Step,    DrawingTool::Redact,      DrawingTool::Redact,
        DrawingTool::Text,    DrawingTool::DroppedImage};
    constexpr int kindCount = int(std::size(kinds));
    QList<Annotation> list;
    for (int i = 0; i < count; ++i) {
        const QColor colour = colours[i % 6];
        const QPointF start = somewhere();
        const DrawingTool type = kinds[i % kindCount];
        if (type == DrawingTool::Text) {
            Annotation text =
                Annotation::createText(start, colour, true, QStringLiteral("Helvetica"), 24);
            text.textPayload = QStringLiteral("Note %1\nsecond line").arg(i);
            list.append(text);
            continue;
        }
        Annotation record = Annotation::create(type, start, colour);
        if (type == DrawingTool::Pen || type == DrawingTool::Highlighter) {
            QPointF p = start;
            for (int k = 1; k < 200; ++k) {
                p += QPointF(random.bounded(7.0) - 3.0, random.bounded(7.0) - 3.0);
                record.points.append(p);
            }
        } else if (type == DrawingTool::DroppedImage) {
            record.imagePayload = picture;
        } else if (type == DrawingTool::Redact) {
            record.pixelate = i % kindCount == 8;
            record.points.append(start + QPointF(random.bounded(60.0), random.bounded(40.0)));
        } else if (type != DrawingTool::Step) {
            record.points.append(start +
                                 QPointF(random.bounded(200.0) - 100, random.bounded(120.0) - 60));
        }
        list.append(record);
    }
    return list;
}

double renderTime(const QImage &capture, const QList<Annotation> &annotations, QSize *size)
{
    QElapsedTimer timer;
    timer.start();
    const Result<QImage> picture = ExportRenderer::render(capture, viewSize, annotations);
    const double ms = timer.nsecsElapsed() / 1e6;
    if (!picture.ok()) {
        std::printf("export failed: %s\n", qPrintable(picture.error()));
        return -1;
    }
    if (size)
        *size = picture.value().size();
    return ms;
}

// The same list exported with and without one pixelated redaction of 1000 x 1000 capture
// pixels, the two renders taking turns so that both see the same load.
void measurePixelate(const QImage &capture, int count, int runs)
{
    const QList<Annotation> without = mixed(count);
    QList<Annotation> with = without;
    const double sx = capture.width() / viewSize.width();
    const QPointF corner(400 / sx, 300 / sx);
    Annotation redaction = Annotation::create(DrawingTool::Redact, corner, Qt::black);
    redaction.points.append(corner + QPointF(1000 / sx, 1000 / sx));
    redaction.pixelate = true;
    with.append(redaction);
    std::vector<double> plain, pixelated;
    for (int run = 0; run < runs; ++run) {
        plain.push_back(renderTime(capture, without, nullptr));
        pixelated.push_back(renderTime(capture, with, nullptr));
    }
    std::sort(plain.begin(), plain.end());
    std::sort(pixelated.begin(), pixelated.end());
    const double a = plain[plain.size() / 2];
    const double b = pixelated[pixelated.size() / 2];
    std::printf("a pixelated redaction of 1000x1000 pixels on top of %d annotations: median %.1f "
                "ms with it, %.1f ms without (%d runs each, taking turns): it adds %.1f ms\n",
                count, b, a, runs, b - a);
}

void measure(const QImage &capture, int count, int runs)
{
    const QList<Annotation> annotations = mixed(count);
    std::vector<double> times;
    QSize size;
    for (int run = 0; run < runs; ++run) {
        const double ms = renderTime(capture, annotations, &size);
        if (ms < 0)
            return;
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("export of %d annotations onto %dx%d -> %dx%d: median %.1f ms (min %.1f, max "
                "%.1f, %d runs)\n",
                count, capture.width(), capture.height(), size.width(), size.height(),
                times[times.size() / 2], times.front(), times.back(), runs);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QImage capture = busyCapture();
    measure(capture, 0, 7);
    measure(capture, 100, 7);
    measure(capture, 1000, 5);
    measurePixelate(capture, 0, 9);
    measurePixelate(capture, 1000, 7);
    return 0;
}
