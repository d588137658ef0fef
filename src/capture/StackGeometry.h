#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QRegion>
#include <QSizeF>

/**
 * The stack panel's arithmetic, free of any view: where each thumbnail sits in the column,
 * how tall the column is, how far a wheel or touchpad turn scrolls it, and the shape a
 * thumbnail covers on screen. StackColumn feeds it to OverlayView; PanelShape and
 * Thumbnail use its shape and numbers.
 */
namespace StackGeometry {

constexpr qreal ColumnWidth = 250;    // points: the panel's width
constexpr qreal ThumbnailWidth = 230; // points
constexpr qreal Spacing = 15;         // between two thumbnails
constexpr qreal TopInset = 40;        // above the first thumbnail
constexpr qreal BottomInset = 20;     // below the last one
constexpr qreal CornerRadius = 12;
constexpr qreal ShadowBlur = 5;          // radius of the shadow's blur
constexpr qreal ShadowOffsetY = 5;       // the shadow falls this far below the thumbnail
constexpr qreal ShadowOpacity = 0.3;     // black at this opacity
constexpr qreal WheelNotchDistance = 48; // points scrolled by one 15-degree wheel notch

struct Placement
{
    QList<QRectF> rects; // one per capture, in list order
    qreal contentHeight = 0;
};

/// A thumbnail's height for a capture of `pointSize`: the width's share of the aspect ratio,
/// rounded to whole points so every thumbnail sits on the pixel grid; at least one point.
qreal thumbnailHeight(const QSizeF &pointSize);

/// Where the thumbnails of captures with these point sizes sit in a column `columnWidth`
/// wide, top to bottom, centred; an empty list has no height at all.
Placement place(const QList<QSizeF> &pointSizes, qreal columnWidth = ColumnWidth);

/// The largest scroll offset: the column's overflow below a view `viewHeight` tall.
qreal maxScroll(qreal contentHeight, qreal viewHeight);

/// The scroll offset after one wheel event. A touchpad's pixel delta is used as it is; a
/// mouse wheel's angle delta (eighths of a degree) moves WheelNotchDistance per notch.
/// Only the vertical part counts; the result stays within [0, maxScroll].
qreal scrolled(qreal scrollY, QPointF angleDelta, QPointF pixelDelta, qreal contentHeight,
               qreal viewHeight);

/// The pixels a rounded thumbnail covers: `rect` with corners of `radius` cut off, rows
/// of whole pixels, a corner pixel counted when its centre lies inside the curve.
QRegion roundedRegion(const QRect &rect, int radius);

} // namespace StackGeometry
