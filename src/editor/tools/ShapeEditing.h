#pragma once

#include "editor/document/Annotation.h"

#include <QList>
#include <QPointF>
#include <QRectF>

#include <optional>

/**
 * What Select does to a shape record, as geometry in canvas units: which record a point
 * hits (topmost first, along the drawn shape), where its handles are, and the record moved
 * or reshaped by a handle. Pure functions; used by SelectGesture and by EditorState for the
 * handles it shows.
 */
namespace ShapeEditing {

/// The row of the topmost shape whose drawn form lies within `slack` of `point`: a stroke
/// within half its width plus `slack`, a filled shape (a step, a redaction) anywhere inside;
/// none when no shape is there. Text and image records are left to their own views.
std::optional<int> shapeAt(const QList<Annotation> &records, QPointF point, double slack);

/// The handles of a shape: the corners of a box, an ellipse or a redaction (top-left, top-right,
/// bottom-right, bottom-left), the two ends of a line or an arrow, the corners of the
/// bounding box of a pen or highlighter stroke, none for a step.
QList<QPointF> handles(const Annotation &record);

/// The rectangle a stroke's handles frame (its points' bounds); empty for other kinds.
QRectF strokeFrame(const Annotation &record);

/// The index of the handle of `record` within `slack` of `point` (the nearest); none.
std::optional<int> handleAt(const Annotation &record, QPointF point, double slack);

/// `record` moved by `delta`.
Annotation moved(const Annotation &record, QPointF delta);

/// `record` with handle `handle` dragged to `to`: a corner of a box or an ellipse goes
/// there with the opposite corner staying; a line's end goes there; a stroke is scaled about
/// the opposite corner of its frame. The record as it was for an unknown handle.
Annotation reshaped(const Annotation &record, int handle, QPointF to);

} // namespace ShapeEditing
