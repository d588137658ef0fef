#pragma once

#include "editor/document/Annotation.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QSizeF>

class QPainter;

/** The capture a redaction hides, and the canvas size it spans. */
struct RedactionSource
{
    QImage capture;
    QSizeF canvasSize;
    /// The capture pixels under every redaction: the mosaic never reads them.
    QList<QRect> hidden;

    bool isUsable() const
    {
        return !capture.isNull() && canvasSize.width() > 0 && canvasSize.height() > 0;
    }
};

/**
 * Redactions, which must never show what they hide: not on screen and not in any saved
 * picture. A redaction covers whole pixels (its rectangle grown outward, never blended at
 * its edges) in one opaque colour, or in a mosaic made only from the capture's pixels
 * around it (outside every redaction) plus noise salted by its place, so two captures that
 * differ only under it give the same picture. Used by the drawing layer and the export.
 */
namespace Redaction {

/// Cells of the mosaic, in capture pixels.
inline constexpr int cellSize = 12;
/// How far around the rectangle the mosaic looks for colours, in capture pixels.
inline constexpr int ringWidth = 6;

/// The capture pixels a redaction record covers: its rectangle scaled from canvas units
/// to the capture's pixels, grown outward to whole pixels. Empty for other records.
QRect capturePixels(const Annotation &record, const RedactionSource &source);

/// The mosaic of `rect` (capture pixels), one pixel per cell: each cell blends the mean
/// colours of the ring around `rect` nearest to it, plus noise. Pixels inside `rect` or
/// inside any of `hidden` are never read.
QImage mosaic(const QImage &capture, const QRect &rect, const QList<QRect> &hidden);

/// The capture pixels of every redaction among `records` (for `RedactionSource::hidden`).
QList<QRect> hiddenRects(const QList<Annotation> &records, const RedactionSource &source);

/// Covers `deviceRect` (whole pixels of the painter's device, no transform) with the
/// redaction: its colour at full opacity, or `cells` stretched without smoothing. Without
/// cells a mosaic is covered in grey.
void cover(QPainter &painter, const Annotation &record, const QRect &deviceRect,
           const QImage &cells);

} // namespace Redaction
