#include "Redaction.h"

#include "ShapePaths.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace Redaction {

namespace {

bool isHidden(QPoint p, const QRect &rect, const QList<QRect> &hidden)
{
    if (rect.contains(p))
        return true;
    return std::any_of(hidden.begin(), hidden.end(),
                       [p](const QRect &other) { return other.contains(p); });
}

/** The running mean of the ring's colours along one side, per cell. */
struct SideMeans
{
    QList<std::array<double, 4>> sums; // r, g, b, count

    explicit SideMeans(int cells) : sums(cells, {0, 0, 0, 0}) {}
    void add(int cell, QRgb pixel)
    {
        auto &s = sums[cell];
        s[0] += qRed(pixel);
        s[1] += qGreen(pixel);
        s[2] += qBlue(pixel);
        s[3] += 1;
    }
    bool has(int cell) const { return sums.at(cell)[3] > 0; }
    std::array<double, 3> mean(int cell) const
    {
        const auto &s = sums.at(cell);
        return {s[0] / s[3], s[1] / s[3], s[2] / s[3]};
    }
};

// A small, fixed hash: the noise depends on the place and the cell alone.
quint32 noiseAt(const QRect &rect, int cx, int cy)
{
    quint32 h = quint32(rect.x()) * 73856093u ^ quint32(rect.y()) * 19349663u ^
                quint32(cx) * 83492791u ^ quint32(cy) * 2654435761u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

} // namespace

QRect capturePixels(const Annotation &record, const RedactionSource &source)
{
    if (record.type != DrawingTool::Redact || record.points.isEmpty() || !source.isUsable())
        return {};
    const double sx = source.capture.width() / source.canvasSize.width();
    const double sy = source.capture.height() / source.canvasSize.height();
    const QRectF r = ShapePaths::rectangleFrom(record.points.first(), record.points.last());
    const double left = std::floor(r.left() * sx);
    const double top = std::floor(r.top() * sy);
    const double right = std::ceil(r.right() * sx);
    const double bottom = std::ceil(r.bottom() * sy);
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) ||
        !std::isfinite(bottom) || std::abs(left) > 1e6 || std::abs(top) > 1e6 ||
        std::abs(right) > 1e6 || std::abs(bottom) > 1e6)
        return {};
    return QRect(QPoint(int(left), int(top)), QPoint(int(right) - 1, int(bottom) - 1));
}

QList<QRect> hiddenRects(const QList<Annotation> &records, const RedactionSource &source)
{
    QList<QRect> rects;
    for (const Annotation &record : records) {
        const QRect rect = capturePixels(record, source);
        if (!rect.isEmpty())
            rects.append(rect);
    }
    return rects;
}

QImage mosaic(const QImage &capture, const QRect &rect, const QList<QRect> &hidden)
{
    if (rect.isEmpty())
        return {};
    const int columns = (rect.width() + cellSize - 1) / cellSize;
    const int rows = (rect.height() + cellSize - 1) / cellSize;
    SideMeans top(columns), bottom(columns), left(rows), right(rows);
    const QRect inside = capture.rect();
    // Only the redactions that reach into the ring can hide a pixel of it.
    const QRect ring = rect.adjusted(-ringWidth, -ringWidth, ringWidth, ringWidth);
    QList<QRect> near;
    for (const QRect &other : hidden) {
        if (other.intersects(ring))
            near.append(other);
    }
    const auto sample = [&](SideMeans &side, int cell, int x, int y) {
        const QPoint p(x, y);
        if (inside.contains(p) && !isHidden(p, rect, near))
            side.add(cell, capture.pixel(p));
    };
    // The ring: rows above and below, columns left and right, clipped to the capture.
    for (int d = 1; d <= ringWidth; ++d) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const int cell = (x - rect.left()) / cellSize;
            sample(top, cell, x, rect.top() - d);
            sample(bottom, cell, x, rect.bottom() + d);
        }
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            const int cell = (y - rect.top()) / cellSize;
            sample(left, cell, rect.left() - d, y);
            sample(right, cell, rect.right() + d, y);
        }
    }

    QImage cells(columns, rows, QImage::Format_RGB32);
    for (int cy = 0; cy < rows; ++cy) {
        for (int cx = 0; cx < columns; ++cx) {
            // Each side weighs by closeness: 1 / distance in cells.
            std::array<double, 3> colour{0, 0, 0};
            double weight = 0;
            const auto blend = [&](const SideMeans &side, int cell, double distance) {
                if (!side.has(cell))
                    return;
                const double w = 1 / (distance + 0.5);
                const auto m = side.mean(cell);
                for (int i = 0; i < 3; ++i)
                    colour[i] += w * m[i];
                weight += w;
            };
            blend(top, cx, cy);
            blend(bottom, cx, rows - 1 - cy);
            blend(left, cy, cx);
            blend(right, cy, columns - 1 - cx);
            if (weight == 0) {
                colour = {128, 128, 128};
                weight = 1;
            }
            const quint32 noise = noiseAt(rect, cx, cy);
            const auto channel = [&](int i) {
                const int jitter = int((noise >> (8 * i)) & 0x3f) - 32;
                return std::clamp(int(colour[i] / weight) + jitter, 0, 255);
            };
            cells.setPixel(cx, cy, qRgb(channel(0), channel(1), channel(2)));
        }
    }
    return cells;
}

void cover(QPainter &painter, const Annotation &record, const QRect &deviceRect,
           const QImage &cells)
{
    if (deviceRect.isEmpty())
        return;
    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (!record.pixelate) {
        QColor colour = record.color;
        colour.setAlpha(255);
        painter.fillRect(deviceRect, colour);
    } else if (cells.isNull()) {
        painter.fillRect(deviceRect, QColor(128, 128, 128));
    } else {
        painter.drawImage(QRectF(deviceRect), cells, QRectF(cells.rect()));
    }
    painter.restore();
}

} // namespace Redaction
