#include "ShapeEditing.h"

#include "editor/render/ShapePaths.h"
#include "text/TextMetrics.h"

#include <QFontMetricsF>
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

// The space between a text box's edge and its text, in canvas points.
constexpr double textInset = 8;

bool hitsShape(const Annotation &record, QPointF point, double slack)
{
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

// A text box as the text views lay it out: its lines from the inset, one line height apart,
// each as wide as its own text; the box holds them and the inset all round.
bool hitsText(const Annotation &record, QPointF point, double slack, bool wholeBox)
{
    if (!record.textPayload)
        return false;
    const QFont font = TextMetrics::font(record.fontName, record.fontSize * record.imageScale);
    const QString &text = *record.textPayload;
    const QPointF topLeft = record.points.first();
    if (wholeBox || record.textHasBackground) {
        const QSizeF box =
            TextMetrics::idealSize(font, text) + QSizeF(2 * textInset, 2 * textInset);
        return QRectF(topLeft, box).adjusted(-slack, -slack, slack, slack).contains(point);
    }
    const QFontMetricsF metrics(font);
    const double lineHeight =
        TextMetrics::measure(font, QString()).height(); // one line, as the views space them
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QPointF origin = topLeft + QPointF(textInset, textInset);
    const double row = std::floor((point.y() - origin.y()) / lineHeight);
    // The lines above and below count too while the point is within the slack of them.
    for (double r = row - 1; r <= row + 1; ++r) {
        if (r < 0 || r >= lines.size())
            continue;
        const double width = metrics.horizontalAdvance(lines.at(qsizetype(r)));
        if (width <= 0)
            continue;
        const QRectF line(origin.x(), origin.y() + r * lineHeight, width, lineHeight);
        if (line.adjusted(-slack, -slack, slack, slack).contains(point))
            return true;
    }
    return false;
}

bool hitsImage(const Annotation &record, QPointF point, double slack)
{
    if (!record.imagePayload || record.imagePayload->isNull())
        return false;
    const QSizeF size = record.imagePayload->deviceIndependentSize() * record.imageScale;
    const QRectF rect(record.points.first() - QPointF(size.width() / 2, size.height() / 2), size);
    return rect.adjusted(-slack, -slack, slack, slack).contains(point);
}

bool hits(const Annotation &record, QPointF point, double slack, bool selected)
{
    if (record.points.isEmpty())
        return false;
    if (record.type == DrawingTool::Text)
        return hitsText(record, point, slack, selected);
    if (record.type == DrawingTool::DroppedImage)
        return hitsImage(record, point, slack);
    if (!ShapePaths::isShape(record.type))
        return false;
    return hitsShape(record, point, slack);
}

} // namespace

std::optional<int> recordAt(const QList<Annotation> &records, QPointF point, double slack,
                            std::optional<QUuid> selected)
{
    for (qsizetype row = records.size() - 1; row >= 0; --row) {
        const Annotation &record = records.at(row);
        if (hits(record, point, slack, selected && record.id == *selected))
            return int(row);
    }
    return std::nullopt;
}

Press pressAt(const QList<Annotation> &records, std::optional<QUuid> selected, QPointF point,
              double hitSlack, double handleSlack)
{
    if (selected) {
        for (qsizetype row = 0; row < records.size(); ++row) {
            if (records.at(row).id != *selected)
                continue;
            if (const auto handle = handleAt(records.at(row), point, handleSlack))
                return {int(row), handle};
            break;
        }
    }
    return {recordAt(records, point, hitSlack, selected), std::nullopt};
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
