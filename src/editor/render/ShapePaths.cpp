#include "ShapePaths.h"

#include "text/ContrastingTextColor.h"

#include <QFont>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace ShapePaths {

namespace {

constexpr double thirtyDegrees = 0.5235987755982988;

bool isFreehand(DrawingTool type)
{
    return type == DrawingTool::Pen || type == DrawingTool::Highlighter;
}

void drawSegments(QPainter &painter, const Annotation &annotation, const QPen &pen,
                  const QTransform &pointMap)
{
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QList<QPointF> &points = annotation.points;
    for (qsizetype i = 1; i < points.size(); ++i)
        painter.drawLine(pointMap.map(QLineF(points.at(i - 1), points.at(i))));
}

// A freehand stroke as round-capped segments: together they cover exactly the round-joined
// polyline, and they rasterise far faster than its outline, whose many self-crossings the
// filler has to untangle. A translucent stroke is painted opaque on a layer of its own,
// which is then laid down at its opacity, so it never darkens where it crosses itself;
// the layer keeps its place in the drawing order, under every later record.
void drawFreehand(QPainter &painter, const Annotation &annotation, QPen pen,
                  const QTransform &pointMap)
{
    QColor colour = pen.color();
    const double opacity = colour.alphaF();
    if (opacity >= 1) {
        drawSegments(painter, annotation, pen, pointMap);
        return;
    }
    if (!(opacity > 0))
        return;
    colour.setAlphaF(1);
    pen.setColor(colour);
    const QTransform device = painter.transform();
    QPolygonF mapped;
    mapped.reserve(annotation.points.size());
    for (const QPointF &p : annotation.points)
        mapped.append(pointMap.map(p));
    // Half the pen's width on the device, and a pixel for the antialiased edge.
    const double reach = pen.widthF() / 2 * std::sqrt(std::abs(device.determinant())) + 2;
    QRectF onDevice =
        device.mapRect(mapped.boundingRect())
            .adjusted(-reach, -reach, reach, reach)
            .intersected(QRectF(0, 0, painter.device()->width(), painter.device()->height()));
    // Redrawing a few changed pixels, the layer need only hold those.
    if (painter.hasClipping())
        onDevice =
            onDevice.intersected(device.mapRect(painter.clipBoundingRect()).adjusted(-1, -1, 1, 1));
    const QRect bounds = onDevice.toAlignedRect();
    if (bounds.isEmpty())
        return;
    QImage layer(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return;
    layer.fill(Qt::transparent);
    {
        QPainter onLayer(&layer);
        onLayer.setRenderHints(painter.renderHints());
        onLayer.setTransform(device * QTransform::fromTranslate(-bounds.x(), -bounds.y()));
        drawSegments(onLayer, annotation, pen, pointMap);
    }
    painter.save();
    painter.resetTransform();
    painter.setOpacity(painter.opacity() * opacity);
    painter.drawImage(bounds.topLeft(), layer);
    painter.restore();
}

} // namespace

bool isShape(DrawingTool type)
{
    return isDrawingTool(type) || type == DrawingTool::Step;
}

bool isPlacedByClick(DrawingTool type)
{
    return type == DrawingTool::Step;
}

double stepRadius(double lineWidth)
{
    return 12 + 2 * lineWidth;
}

double outerReach(const Annotation &annotation)
{
    switch (annotation.type) {
    case DrawingTool::Step:
        return stepRadius(annotation.lineWidth);
    case DrawingTool::Redact:
        return 0;
    case DrawingTool::Highlighter:
        return annotation.lineWidth * highlighterWidth / 2;
    default:
        return annotation.lineWidth / 2;
    }
}

double drawnOpacity(const Annotation &annotation)
{
    const double alpha = annotation.color.alphaF();
    return annotation.type == DrawingTool::Highlighter ? alpha * highlighterOpacity : alpha;
}

double arrowHeadLength(double lineWidth)
{
    return lineWidth * 1.5 + 15;
}

std::pair<QPointF, QPointF> arrowWings(QPointF start, QPointF tip, double length)
{
    const double theta = std::atan2(tip.y() - start.y(), tip.x() - start.x());
    const QPointF a(tip.x() - length * std::cos(theta - thirtyDegrees),
                    tip.y() - length * std::sin(theta - thirtyDegrees));
    const QPointF b(tip.x() - length * std::cos(theta + thirtyDegrees),
                    tip.y() - length * std::sin(theta + thirtyDegrees));
    return {a, b};
}

QRectF rectangleFrom(QPointF a, QPointF b)
{
    return QRectF(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::abs(a.x() - b.x()),
                  std::abs(a.y() - b.y()));
}

QPainterPath shapePath(const Annotation &annotation, const QTransform &pointMap, double lengthScale)
{
    QPainterPath path;
    if (annotation.points.isEmpty() || !isShape(annotation.type))
        return path;
    const QPointF first = pointMap.map(annotation.points.first());
    const QPointF last = pointMap.map(annotation.points.last());
    switch (annotation.type) {
    case DrawingTool::Pen:
    case DrawingTool::Highlighter:
        path.reserve(int(annotation.points.size()));
        path.moveTo(first);
        for (qsizetype i = 1; i < annotation.points.size(); ++i)
            path.lineTo(pointMap.map(annotation.points.at(i)));
        break;
    case DrawingTool::Rectangle:
        path.addRect(rectangleFrom(first, last));
        break;
    case DrawingTool::Line:
        path.moveTo(first);
        path.lineTo(last);
        break;
    case DrawingTool::Ellipse:
        path.addEllipse(rectangleFrom(first, last));
        break;
    case DrawingTool::Redact:
        path.addRect(rectangleFrom(first, last));
        break;
    case DrawingTool::Step: {
        const double r = lengthScale * stepRadius(annotation.lineWidth);
        path.addEllipse(first, r, r);
        break;
    }
    case DrawingTool::Arrow: {
        path.moveTo(first);
        path.lineTo(last);
        const auto [a, b] =
            arrowWings(first, last, lengthScale * arrowHeadLength(annotation.lineWidth));
        path.moveTo(a);
        path.lineTo(last);
        path.lineTo(b);
        break;
    }
    default:
        break;
    }
    return path;
}

QPen shapePen(const Annotation &annotation, ShapeTarget target, double widthScale)
{
    QColor color = annotation.color;
    double width = annotation.lineWidth * widthScale;
    if (annotation.type == DrawingTool::Highlighter) {
        color.setAlphaF(float(drawnOpacity(annotation)));
        width *= highlighterWidth;
    }
    QPen pen(color, width);
    pen.setStyle(Qt::SolidLine);
    pen.setMiterLimit(10);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    if (target == ShapeTarget::screen) {
        switch (annotation.type) {
        case DrawingTool::Rectangle:
            pen.setCapStyle(Qt::FlatCap);
            pen.setJoinStyle(Qt::SvgMiterJoin); // beyond the limit: bevel
            break;
        case DrawingTool::Line:
            pen.setJoinStyle(Qt::SvgMiterJoin); // beyond the limit: bevel
            break;
        default:
            break;
        }
    }
    return pen;
}

void paintShape(QPainter &painter, const Annotation &annotation)
{
    drawShape(painter, annotation, ShapeTarget::screen);
}

void drawShape(QPainter &painter, const Annotation &annotation, ShapeTarget target,
               const QTransform &pointMap, double lengthScale)
{
    if (!isShape(annotation.type) || annotation.points.isEmpty())
        return;
    if (isFreehand(annotation.type) && annotation.points.size() >= 2) {
        drawFreehand(painter, annotation, shapePen(annotation, target, lengthScale), pointMap);
        return;
    }
    const QPainterPath path = shapePath(annotation, pointMap, lengthScale);
    if (annotation.type == DrawingTool::Redact) {
        // Without the capture at hand (the whole-frame painter), every redaction is solid.
        QColor colour = annotation.color;
        colour.setAlpha(255);
        painter.fillPath(path, annotation.pixelate ? QColor(128, 128, 128) : colour);
        return;
    }
    if (annotation.type != DrawingTool::Step) {
        painter.strokePath(path, shapePen(annotation, target, lengthScale));
        return;
    }
    painter.fillPath(path, annotation.color);
    // The number as an outline, so it has the same shape at any scale on screen and in
    // the picture: about 1.1 radii high, centred in the circle.
    const QString number = QString::number(annotation.stepNumber);
    QFont font;
    font.setBold(true);
    font.setPixelSize(100);
    QPainterPath glyphs;
    glyphs.addText(0, 0, font, number);
    const QRectF glyphBox = glyphs.boundingRect();
    const QRectF circle = path.boundingRect();
    if (glyphBox.isEmpty() || circle.isEmpty())
        return;
    const double height = circle.height() * (number.size() > 2 ? 0.4 : 0.55);
    const double scale =
        std::min(height / glyphBox.height(), circle.width() * 0.7 / glyphBox.width());
    QTransform place;
    place.translate(circle.center().x(), circle.center().y());
    place.scale(scale, scale);
    place.translate(-glyphBox.center().x(), -glyphBox.center().y());
    painter.fillPath(place.map(glyphs), contrastingTextColor(annotation.color));
}

} // namespace ShapePaths
