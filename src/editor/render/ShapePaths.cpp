#include "ShapePaths.h"

#include <QPainter>

#include <cmath>

namespace ShapePaths {

namespace {

constexpr double thirtyDegrees = 0.5235987755982988;

} // namespace

bool isShape(DrawingTool type)
{
    return isDrawingTool(type);
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
    QPen pen(annotation.color, annotation.lineWidth * widthScale);
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
    if (!isShape(annotation.type) || annotation.points.isEmpty())
        return;
    painter.strokePath(shapePath(annotation), shapePen(annotation, ShapeTarget::screen));
}

} // namespace ShapePaths
