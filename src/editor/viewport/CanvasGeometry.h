#pragma once

#include <QPointF>
#include <QSizeF>
#include <QTransform>

/**
 * Where the capture and the annotations sit in the canvas area, as pure functions.
 *
 * Canvas space is fixed when the canvas is first laid out: the capture then spans
 * (0, 0)..`canvasSize`, the size it was fitted to. When the area later changes size, the
 * capture is fitted anew and canvas space is stretched onto the new fitted size by
 * `fitScale`, so every point stays on the capture pixel it was placed on. Before any resize
 * `fitScale` is 1 and every formula reduces to the plain fit / zoom / pan placement.
 * Used by EditorState, the drawing layer and the document group of EditorView.
 */
namespace CanvasGeometry {

/// The capture's size when fitted into `area` keeping its proportions: it touches two
/// opposite edges. (0, 0) when either size is empty.
QSizeF fittedSize(QSizeF area, QSizeF image);

/// The margins that centre `fitted` in `area`: ((W - dW) / 2, (H - dH) / 2).
QSizeF margins(QSizeF area, QSizeF fitted);

/** The placement of canvas space in the canvas area at one moment. */
struct View
{
    QSizeF area{0, 0};       // (W, H)
    QSizeF canvasSize{0, 0}; // canvas space: the fitted size of the first layout
    double fitScale = 1;
    double zoom = 1;
    QSizeF pan{0, 0};

    /// Screen points per canvas unit.
    double scale() const { return zoom * fitScale; }
    bool operator==(const View &other) const = default;
};

/// The view for an area of `area` showing a capture of `image` points, with canvas space
/// `canvasSize` (empty: not yet fixed, the fit of this area is used).
View makeView(QSizeF area, QSizeF image, QSizeF canvasSize, double zoom, QSizeF pan);

/// The canvas-space point under the area position `v`.
QPointF viewToCanvas(QPointF v, const View &view);
/// The area position of the canvas-space point `c`.
QPointF canvasToView(QPointF c, const View &view);
/// canvasToView as a transform: translate to the area's centre plus the pan, scale, then
/// translate by minus half the canvas.
QTransform canvasTransform(const View &view);

} // namespace CanvasGeometry
