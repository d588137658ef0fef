#include "ShapeRaster.h"

#include "ShapePaths.h"
#include "text/TextMetrics.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

void clear(QImage &image, const QRect &rect)
{
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect, Qt::transparent);
}

/** Where the view of a text or image record covers the canvas, in canvas units. */
struct ViewBox
{
    QRectF box;
    // A text's font, and where its lines start; none for an image.
    QFont font;
    QPointF textAt;
};

std::optional<ViewBox> viewBox(const Annotation &a)
{
    if (a.points.isEmpty())
        return std::nullopt;
    ViewBox f;
    if (a.type == DrawingTool::DroppedImage) {
        if (!a.imagePayload || a.imagePayload->isNull())
            return std::nullopt;
        const QSizeF size = a.imagePayload->deviceIndependentSize() * a.imageScale;
        f.box = QRectF(a.points.first() - QPointF(size.width() / 2, size.height() / 2), size);
    } else if (a.type == DrawingTool::Text) {
        const double size = a.fontSize * a.imageScale;
        if (!a.textPayload || !std::isfinite(size) || !(size > 0) || size > 1e5)
            return std::nullopt;
        // Measured as the text box measures itself, and as the export draws it.
        const QImage reference(1, 1, QImage::Format_RGB32);
        f.font = TextMetrics::font(a.fontName, size, &reference);
        const QSizeF measured = TextMetrics::measure(f.font, *a.textPayload, &reference);
        const double inset = 8;
        f.textAt = a.points.first() + QPointF(inset, inset);
        f.box = QRectF(a.points.first(), measured + QSizeF(2 * inset, 2 * inset));
    } else {
        return std::nullopt;
    }
    if (!f.box.isValid() || !std::isfinite(f.box.width()) || !std::isfinite(f.box.height()))
        return std::nullopt;
    return f;
}

// Clears what lies below a text or image record where its view is opaque, so that the view
// under the layer shows through there, above the shapes before it and below the ones after.
void clearUnder(QPainter &painter, const Annotation &a, const ViewBox &f)
{
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    if (a.type == DrawingTool::DroppedImage) {
        if (a.imagePayload->hasAlphaChannel())
            painter.drawImage(f.box, *a.imagePayload);
        else
            painter.fillRect(f.box, Qt::black);
    } else if (a.textHasBackground) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(a.color);
        painter.drawRoundedRect(f.box, 8, 8);
    } else {
        painter.setPen(a.color);
        TextMetrics::draw(painter, f.textAt, f.font, *a.textPayload);
    }
    painter.restore();
}

} // namespace

bool ShapeRaster::isDrawn(DrawingTool type)
{
    return ShapePaths::isShape(type) || type == DrawingTool::Text ||
           type == DrawingTool::DroppedImage;
}

QTransform RasterTarget::deviceTransform() const
{
    return CanvasGeometry::canvasTransform(view) * QTransform::fromScale(ratio, ratio);
}

QImage ShapeRaster::render(const QList<Annotation> &records, const RasterTarget &target,
                           const RedactionSource &source)
{
    QImage image(target.pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(target.deviceTransform());
    for (const Annotation &record : records)
        paint(painter, record, 0, false, target, source);
    return image;
}

QRect ShapeRaster::redactionCover(const Annotation &annotation, const RasterTarget &target,
                                  const RedactionSource &source)
{
    const QRect pixels = Redaction::capturePixels(annotation, source);
    if (pixels.isEmpty())
        return {};
    const double sx = source.capture.width() / source.canvasSize.width();
    const double sy = source.capture.height() / source.canvasSize.height();
    const QRectF canvas(pixels.x() / sx, pixels.y() / sy, pixels.width() / sx,
                        pixels.height() / sy);
    const QRectF device = target.deviceTransform().mapRect(canvas);
    const double perCapturePixel = target.view.scale() * target.ratio / std::min(sx, sy);
    const int grow = int(std::ceil(perCapturePixel)) + 1;
    const double left = std::floor(device.left()) - grow;
    const double top = std::floor(device.top()) - grow;
    const double right = std::ceil(device.right()) + grow;
    const double bottom = std::ceil(device.bottom()) + grow;
    const QRectF bounds(0, 0, target.pixels.width(), target.pixels.height());
    const QRectF grown = QRectF(QPointF(left, top), QPointF(right, bottom)).intersected(bounds);
    return grown.isEmpty() ? QRect() : grown.toAlignedRect();
}

QRect ShapeRaster::bounds(const Annotation &annotation, const RasterTarget &target,
                          const RedactionSource &source)
{
    const QRectF canvas(QPointF(0, 0), QSizeF(target.pixels));
    if (const auto f = viewBox(annotation)) {
        const QRectF box =
            target.deviceTransform().mapRect(f->box).adjusted(-2, -2, 2, 2).intersected(canvas);
        return box.isEmpty() ? QRect() : box.toAlignedRect();
    }
    if (!ShapePaths::isShape(annotation.type) || annotation.points.isEmpty())
        return {};
    if (annotation.type == DrawingTool::Redact && source.isUsable())
        return redactionCover(annotation, target, source);
    // Everything the shape can reach: its outer reach, and the corners of a box's miter.
    const double reach =
        2 * ShapePaths::outerReach(annotation) * target.view.scale() * target.ratio + 2;
    const QRectF bounds = target.deviceTransform()
                              .mapRect(ShapePaths::shapePath(annotation).controlPointRect())
                              .adjusted(-reach, -reach, reach, reach)
                              .intersected(canvas);
    return bounds.isEmpty() ? QRect() : bounds.toAlignedRect();
}

QRegion ShapeRaster::footprint(const Annotation &annotation, const RasterTarget &target,
                               const RedactionSource &source)
{
    const QRect whole = bounds(annotation, target, source);
    if (whole.isEmpty() || !ShapePaths::isShape(annotation.type) ||
        annotation.type == DrawingTool::Redact || annotation.type == DrawingTool::Step)
        return whole;
    // Pieces no wider and no taller than this (but as long as they like along an axis).
    constexpr double piece = 32;
    const double reach =
        2 * ShapePaths::outerReach(annotation) * target.view.scale() * target.ratio + 2;
    QRegion region;
    double left = 0, top = 0, right = 0, bottom = 0;
    const auto start = [&](QPointF p) {
        left = right = p.x();
        top = bottom = p.y();
    };
    const auto close = [&] {
        const QRectF run(QPointF(left - reach, top - reach),
                         QPointF(right + reach, bottom + reach));
        region |= run.toAlignedRect() & whole;
    };
    const QList<QPolygonF> polygons =
        ShapePaths::shapePath(annotation).toSubpathPolygons(target.deviceTransform());
    for (const QPolygonF &polygon : polygons) {
        if (polygon.isEmpty())
            continue;
        start(polygon.first());
        QPointF last = polygon.first();
        for (qsizetype i = 1; i < polygon.size(); ++i) {
            const QPointF from = polygon.at(i - 1);
            const QPointF to = polygon.at(i);
            if (!std::isfinite(to.x()) || !std::isfinite(to.y()))
                return whole;
            // A slanted segment is cut so that no piece's rectangle is wide both ways.
            const double across =
                std::min(std::abs(to.x() - from.x()), std::abs(to.y() - from.y()));
            const int parts = std::clamp(int(std::ceil(across / piece)), 1, 4096);
            for (int k = 1; k <= parts; ++k) {
                const QPointF p = from + (to - from) * (double(k) / parts);
                const double l = std::min(left, p.x()), t = std::min(top, p.y());
                const double r = std::max(right, p.x()), b = std::max(bottom, p.y());
                if (std::min(r - l, b - t) > piece) {
                    close();
                    start(last);
                    left = std::min(left, p.x());
                    top = std::min(top, p.y());
                    right = std::max(right, p.x());
                    bottom = std::max(bottom, p.y());
                } else {
                    left = l;
                    top = t;
                    right = r;
                    bottom = b;
                }
                last = p;
            }
        }
        close();
    }
    return region;
}

void ShapeRaster::renderRegion(QImage &picture, const QRegion &region,
                               const QList<Annotation> &records, const RasterTarget &target,
                               const RedactionSource &source, const QList<QRegion> &known)
{
    const QRegion inside = region.intersected(picture.rect());
    if (inside.isEmpty())
        return;
    QPainter painter(&picture);
    painter.setClipRegion(inside);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(inside.boundingRect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(target.deviceTransform());
    const bool useKnown = known.size() == records.size();
    for (qsizetype row = 0; row < records.size(); ++row) {
        const Annotation &record = records.at(row);
        if (inside.intersects(useKnown ? known.at(row) : footprint(record, target, source)))
            paint(painter, record, 0, false, target, source);
    }
}

QRect ShapeRaster::paint(QPainter &painter, const Annotation &annotation, qsizetype fromPoint,
                         bool opaque, const RasterTarget &target, const RedactionSource &source)
{
    if (const auto f = viewBox(annotation)) {
        const QRect touched = bounds(annotation, target, source);
        if (!touched.isEmpty())
            clearUnder(painter, annotation, *f);
        return touched;
    }
    if (!ShapePaths::isShape(annotation.type) || annotation.points.isEmpty())
        return {};
    if (annotation.type == DrawingTool::Redact && source.isUsable()) {
        const QRect cover = redactionCover(annotation, target, source);
        const QImage cells =
            annotation.pixelate
                ? Redaction::mosaic(source.capture, Redaction::capturePixels(annotation, source),
                                    source.hidden)
                : QImage();
        Redaction::cover(painter, annotation, cover, cells);
        return cover;
    }
    Annotation part = annotation;
    if (fromPoint > 0)
        part.points = annotation.points.mid(fromPoint);
    if (opaque) {
        // Painted opaque and shown at the stroke's opacity: the highlighter's share too.
        part.color.setAlphaF(1);
        if (part.type == DrawingTool::Highlighter) {
            part.type = DrawingTool::Pen;
            part.lineWidth *= ShapePaths::highlighterWidth;
        }
    }
    const QRect touched = bounds(fromPoint > 0 ? part : annotation, target, source);
    if (touched.isEmpty())
        return {};
    ShapePaths::drawShape(painter, part, ShapePaths::ShapeTarget::screen);
    return touched;
}

void LiveStroke::retarget(const RasterTarget &target)
{
    if (target == m_target)
        return;
    if (target.pixels != m_image.size()) {
        m_image = QImage(target.pixels, QImage::Format_ARGB32_Premultiplied);
        m_image.fill(Qt::transparent);
        m_bounds = {};
    }
    m_target = target;
    m_invalid = true;
}

bool LiveStroke::update(const std::optional<Annotation> &drawing, const RedactionSource &source,
                        QRegion *changed)
{
    const bool extends =
        drawing && !m_invalid && drawing->id == m_id &&
        (drawing->type == DrawingTool::Pen || drawing->type == DrawingTool::Highlighter) &&
        drawing->points.size() >= m_painted && m_painted > 0;
    if (extends && drawing->points.size() == m_painted)
        return false;
    if (!drawing && m_id.isNull() && !m_invalid)
        return false;

    QRegion touched;
    if (!extends && !m_bounds.isEmpty()) {
        clear(m_image, m_bounds);
        touched = m_bounds;
        m_bounds = {};
    }
    m_invalid = false;
    if (!drawing) {
        m_id = {};
        m_painted = 0;
        if (changed)
            *changed = touched;
        return true;
    }
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(m_target.deviceTransform());
    // A new pen sample adds the segment from the last painted point; its round caps make
    // the same round join the whole polyline would have.
    const qsizetype from = extends ? m_painted - 1 : 0;
    const QRect painted = ShapeRaster::paint(painter, *drawing, from, true, m_target, source);
    m_bounds |= painted;
    touched |= painted;
    m_id = drawing->id;
    m_painted = drawing->points.size();
    m_opacity = ShapePaths::drawnOpacity(*drawing);
    if (changed)
        *changed = touched;
    return true;
}

bool LiveStroke::holds(const Annotation &record, const RasterTarget &target) const
{
    return record.id == m_id && !m_invalid && m_painted == record.points.size() &&
           m_target == target;
}

void LiveStroke::drawOnto(QPainter &painter) const
{
    painter.setOpacity(m_opacity);
    painter.drawImage(m_bounds.topLeft(), m_image, m_bounds);
    painter.setOpacity(1);
}
