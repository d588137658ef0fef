#pragma once

#include "editor/document/Annotation.h"

#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <utility>

class QPainter;

/**
 * The outlines of shape annotations (pen, box, line, arrow, ellipse, highlighter, step) and
 * how they are stroked or filled. One set of path builders for the screen and for the saved
 * image: they differ only in caps and joins, chosen by `ShapeTarget`. Used by the drawing
 * layer, the export and the hit testing of Select.
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

/// Draws `annotation` (stroked, or filled for a step with its number) with its points
/// mapped by `pointMap` and its lengths times `lengthScale`, for `target`. The one drawing
/// entry of the screen and the export.
void drawShape(QPainter &painter, const Annotation &annotation, ShapeTarget target,
               const QTransform &pointMap = {}, double lengthScale = 1);

/// How far the drawn shape reaches beyond its points, in canvas units: half its stroke's
/// width, or a step's radius.
double outerReach(const Annotation &annotation);

/// The radius of a step's circle for `lineWidth`: 12 plus two widths (20 at width 4).
double stepRadius(double lineWidth);

/// The highlighter's look: its colour at this share of its opacity, at `highlighterWidth`
/// times the width.
inline constexpr double highlighterOpacity = 0.4;
inline constexpr double highlighterWidth = 3;

/// The opacity the shape is drawn at (its colour's, times the highlighter's share).
double drawnOpacity(const Annotation &annotation);

/// Whether records of `type` are drawn from one point (a step) rather than two or more.
bool isPlacedByClick(DrawingTool type);

} // namespace ShapePaths
