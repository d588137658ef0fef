#pragma once

#include "editor/document/Annotation.h"
#include "platform/Result.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

/**
 * The picture "Save Edits" makes: the capture with every annotation drawn over it, in list
 * order, at the capture's own pixel density. The canvas grows by a margin on each side that
 * annotations cross, so nothing drawn is cut off; where it grows, the backdrop grey shows.
 * Pure functions of their inputs. Used by EditorState and the export benchmark.
 *
 * Lengths: annotation points are in canvas units (the capture spans `viewSize`); a point
 * (x, y) lands at (sx·x, sy·y) image points with sx = captureWidth / viewWidth and
 * sy = captureHeight / viewHeight, and every length not tied to an axis (line width, text
 * size and inset, corner radius, arrowhead) is scaled by sx.
 */
namespace ExportRenderer {

/// Image points added beyond an edge that annotations cross.
inline constexpr double margin = 40;
/// The largest canvas that is ever allocated.
inline constexpr int maximumSide = 32767;
inline constexpr qint64 maximumPixels = qint64(1) << 28;

/** Where the exported picture lies, in pixels of the capture. */
struct Canvas
{
    double sx = 1;
    double sy = 1;
    /// Pixels per image point: the capture's device pixel ratio.
    double density = 1;
    /// The picture's rectangle with the capture at (0, 0)..its pixel size: a negative
    /// corner is where a left or top margin begins.
    QRect pixels;

    bool operator==(const Canvas &other) const = default;
};

/// The line logged when the canvas was never laid out.
QString zeroViewSizeMessage();

/// The canvas for a capture of `capturePixels` at `density` shown in `viewSize`: the
/// capture's rectangle grown to hold every annotation, a margin added on each crossed side,
/// then snapped outward to whole pixels. Fails, without allocating anything, when the view
/// size is not positive or the canvas is not finite, wider or taller than `maximumSide` or
/// larger than `maximumPixels`.
Result<Canvas> plan(QSize capturePixels, double density, QSizeF viewSize,
                    const QList<Annotation> &annotations);

/// What `render` would make of a capture of `capturePixels` at `density`, or why it would
/// fail (as `plan`, a crop that misses the picture, no capture), without drawing anything.
Result<Canvas> check(QSize capturePixels, double density, QSizeF viewSize,
                     const QList<Annotation> &annotations, std::optional<QRectF> crop);

/// The capture with `annotations` drawn over it on the planned canvas; its device pixel
/// ratio is the capture's. Fails as `plan` does, or when the picture cannot be allocated.
/// With `crop` (canvas units) the picture is cut to that rectangle, in whole pixels; a
/// crop that misses the picture altogether fails.
Result<QImage> render(const QImage &capture, QSizeF viewSize, const QList<Annotation> &annotations,
                      std::optional<QRectF> crop = std::nullopt);

} // namespace ExportRenderer
