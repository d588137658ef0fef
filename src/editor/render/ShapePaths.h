#pragma once

#include "editor/document/Annotation.h"

#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <utility>

class QPainter;

/**
 * The outlines of shape annotations (pen, box, line, arrow) and how they are stroked. One
 * set of path builders for the screen and for the saved image: they differ only in caps
 * and joins, chosen by `ShapeTarget`. Used by the drawing layer and the export.
 */
namespace ShapePaths {

enum class ShapeTarget {
    screen, // caps and joins per kind: round pen, butt/miter box, round/miter line, round arrow
    image,  // round caps and joins for every kind
};

/// Whether records of `type` are drawn as strokes (text and images are views of their own).
bool isShape(DrawingTool type);

/// The two wing tips of an arrowhead at `tip` for a shaft from `start`: A at angle - 30
/// degrees, B at + 30, `length` back from the tip. Coinciding ends point along +x.
std::pair<QPointF, QPointF> arrowWings(QPointF start, QPointF tip, double length);

/// The head length of an arrow of `lineWidth`: 1.5 widths plus 15.
double arrowHeadLength(double lineWidth);

/// The axis-aligned rectangle with `a` and `b` as opposite corners, in either order.
QRectF rectangleFrom(QPointF a, QPointF b);

/// The path of `annotation` with its points mapped by `pointMap`; the arrowhead is
/// `lengthScale` times its canvas length, built in mapped space. Empty for records that
/// are not shapes or have no points.
QPainterPath shapePath(const Annotation &annotation, const QTransform &pointMap = {},
                       double lengthScale = 1);

/// The pen for `annotation`: its colour, its width times `widthScale`, miter limit 10, no
/// dashes, caps and joins for `target`.
QPen shapePen(const Annotation &annotation, ShapeTarget target, double widthScale = 1);

/// Strokes `annotation` with the painter's current transform (screen look); nothing for
/// records that are not shapes.
void paintShape(QPainter &painter, const Annotation &annotation);

} // namespace ShapePaths
