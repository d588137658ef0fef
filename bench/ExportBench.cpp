// Time of "Save Edits"' render: a 3840x2160 capture shown in the editor's canvas (about
// 940 x 529 points, so every length is scaled about 4x) with 100 and with 1,000 mixed
// annotations: pen strokes of 200 points, boxes, arrows and text boxes on plates, a few of
// them crossing the capture's edges so the canvas grows. Median of several renders.

#include "editor/render/ExportRenderer.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
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

QList<Annotation> mixed(int count)
{
    QRandomGenerator random(17);
    const QColor colours[] = {Qt::red, Qt::blue, Qt::green, Qt::yellow, Qt::black, Qt::white};
    const auto somewhere = [&] {
        // Mostly inside, some up to 30 points beyond an edge.
        return QPointF(random.bounded(viewSize.width() + 60) - 30,
                       random.bounded(viewSize.height() + 60) - 30);
    };
    QList<Annotation> list;
    for (int i = 0; i < count; ++i) {
        const QColor colour = colours[i % 6];
        const QPointF start = somewhere();
        switch (i % 4) {
        case 0: {
            Annotation pen = Annotation::create(DrawingTool::Pen, start, colour);
            QPointF p = start;
            for (int k = 1; k < 200; ++k) {
                p += QPointF(random.bounded(7.0) - 3.0, random.bounded(7.0) - 3.0);
                pen.points.append(p);
            }
            list.append(pen);
            break;
        }
        case 1:
        case 2: {
            Annotation shape = Annotation::create(
                i % 4 == 1 ? DrawingTool::Rectangle : DrawingTool::Arrow, start, colour);
            shape.points.append(start +
                                QPointF(random.bounded(200.0) - 100, random.bounded(120.0) - 60));
            list.append(shape);
            break;
        }
        default: {
            Annotation text =
                Annotation::createText(start, colour, true, QStringLiteral("Helvetica"), 24);
            text.textPayload = QStringLiteral("Note %1\nsecond line").arg(i);
            list.append(text);
            break;
        }
        }
    }
    return list;
}

void measure(const QImage &capture, int count, int runs)
{
    const QList<Annotation> annotations = mixed(count);
    std::vector<double> times;
    QSize size;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const Result<QImage> picture = ExportRenderer::render(capture, viewSize, annotations);
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (!picture.ok()) {
            std::printf("export failed: %s\n", qPrintable(picture.error()));
            return;
        }
        size = picture.value().size();
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
    return 0;
}
