#include "ShapeRaster.h"

#include "ShapePaths.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

void clear(QImage &image, const QRect &rect)
{
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect, Qt::transparent);
}

} // namespace

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

QRect ShapeRaster::paint(QPainter &painter, const Annotation &annotation, qsizetype fromPoint,
                         bool opaque, const RasterTarget &target, const RedactionSource &source)
{
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
    const QPainterPath path = ShapePaths::shapePath(part);
    // Everything the shape can reach: its outer reach, and the corners of a box's miter.
    const double reach =
        2 * ShapePaths::outerReach(annotation) * target.view.scale() * target.ratio + 2;
    const QRectF bounds = painter.transform()
                              .mapRect(path.controlPointRect())
                              .adjusted(-reach, -reach, reach, reach)
                              .intersected(QRectF(QPointF(0, 0), QSizeF(target.pixels)));
    if (bounds.isEmpty())
        return {};
    ShapePaths::drawShape(painter, part, ShapePaths::ShapeTarget::screen);
    return bounds.toAlignedRect();
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

bool LiveStroke::update(const std::optional<Annotation> &drawing, const RedactionSource &source)
{
    const bool extends =
        drawing && !m_invalid && drawing->id == m_id &&
        (drawing->type == DrawingTool::Pen || drawing->type == DrawingTool::Highlighter) &&
        drawing->points.size() >= m_painted && m_painted > 0;
    if (extends && drawing->points.size() == m_painted)
        return false;
    if (!drawing && m_id.isNull() && !m_invalid)
        return false;

    if (!extends && !m_bounds.isEmpty()) {
        clear(m_image, m_bounds);
        m_bounds = {};
    }
    m_invalid = false;
    if (!drawing) {
        m_id = {};
        m_painted = 0;
        return true;
    }
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(m_target.deviceTransform());
    // A new pen sample adds the segment from the last painted point; its round caps make
    // the same round join the whole polyline would have.
    const qsizetype from = extends ? m_painted - 1 : 0;
    m_bounds |= ShapeRaster::paint(painter, *drawing, from, true, m_target, source);
    m_id = drawing->id;
    m_painted = drawing->points.size();
    m_opacity = ShapePaths::drawnOpacity(*drawing);
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
