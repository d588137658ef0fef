#include "ShapeEditing.h"

#include "editor/render/ShapePaths.h"

#include <QPainterPathStroker>

#include <cmath>

namespace ShapeEditing {

namespace {

bool isBoxLike(DrawingTool type)
{
    return type == DrawingTool::Rectangle || type == DrawingTool::Ellipse ||
           type == DrawingTool::Redact;
}

bool isStroke(DrawingTool type)
{
    return type == DrawingTool::Pen || type == DrawingTool::Highlighter;
}

QList<QPointF> corners(const QRectF &r)
{
    return {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
}

bool hits(const Annotation &record, QPointF point, double slack)
{
    if (!ShapePaths::isShape(record.type) || record.points.isEmpty())
        return false;
    const QPainterPath path = ShapePaths::shapePath(record);
    const double reach = ShapePaths::outerReach(record) + slack;
    if (!path.controlPointRect().adjusted(-reach, -reach, reach, reach).contains(point))
        return false;
    if (record.type == DrawingTool::Step)
        return QLineF(record.points.first(), point).length() <= reach;
    // A redaction is filled: all of it is hit.
    if (record.type == DrawingTool::Redact)
        return ShapePaths::rectangleFrom(record.points.first(), record.points.last())
            .adjusted(-reach, -reach, reach, reach)
            .contains(point);
    // A single sample is a dot of the stroke's width.
    if (record.points.size() == 1)
        return QLineF(record.points.first(), point).length() <= reach;
    QPainterPathStroker stroker;
    stroker.setWidth(2 * reach);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path).contains(point);
}

} // namespace

std::optional<int> shapeAt(const QList<Annotation> &records, QPointF point, double slack)
{
    for (qsizetype row = records.size() - 1; row >= 0; --row) {
        if (hits(records.at(row), point, slack))
            return int(row);
    }
    return std::nullopt;
}

QList<QPointF> handles(const Annotation &record)
{
    if (record.points.isEmpty())
        return {};
    if (isBoxLike(record.type))
        return corners(ShapePaths::rectangleFrom(record.points.first(), record.points.last()));
    if (record.type == DrawingTool::Line || record.type == DrawingTool::Arrow)
        return {record.points.first(), record.points.last()};
    if (isStroke(record.type))
        return corners(strokeFrame(record));
    return {};
}

QRectF strokeFrame(const Annotation &record)
{
    if (!isStroke(record.type) || record.points.isEmpty())
        return {};
    double left = record.points.first().x();
    double right = left;
    double top = record.points.first().y();
    double bottom = top;
    for (const QPointF &p : record.points) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

std::optional<int> handleAt(const Annotation &record, QPointF point, double slack)
{
    const QList<QPointF> all = handles(record);
    std::optional<int> nearest;
    double best = slack;
    for (int i = 0; i < all.size(); ++i) {
        const double distance = QLineF(all.at(i), point).length();
        if (distance <= best) {
            best = distance;
            nearest = i;
        }
    }
    return nearest;
}

Annotation moved(const Annotation &record, QPointF delta)
{
    Annotation result = record;
    for (QPointF &p : result.points)
        p += delta;
    return result;
}

Annotation reshaped(const Annotation &record, int handle, QPointF to)
{
    const QList<QPointF> all = handles(record);
    if (handle < 0 || handle >= all.size())
        return record;
    Annotation result = record;
    if (isBoxLike(record.type)) {
        result.points = {all.at((handle + 2) % 4), to};
    } else if (record.type == DrawingTool::Line || record.type == DrawingTool::Arrow) {
        if (handle == 0)
            result.points.first() = to;
        else
            result.points.last() = to;
    } else if (isStroke(record.type)) {
        const QPointF anchor = all.at((handle + 2) % 4);
        const QPointF from = all.at(handle);
        // A frame flat along an axis keeps that axis as it is.
        const double sx =
            from.x() != anchor.x() ? (to.x() - anchor.x()) / (from.x() - anchor.x()) : 1;
        const double sy =
            from.y() != anchor.y() ? (to.y() - anchor.y()) / (from.y() - anchor.y()) : 1;
        if (!std::isfinite(sx) || !std::isfinite(sy))
            return record;
        for (QPointF &p : result.points)
            p = anchor + QPointF((p.x() - anchor.x()) * sx, (p.y() - anchor.y()) * sy);
    }
    return result;
}

} // namespace ShapeEditing
