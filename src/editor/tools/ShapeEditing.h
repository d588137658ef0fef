#pragma once

#include "editor/document/Annotation.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QUuid>

#include <optional>

/**
 * What Select does to a record, as geometry in canvas units: which record a point hits
 * (topmost first, where it is drawn), where a shape's handles are, and the record moved or
 * reshaped by a handle. Pure functions; used by SelectGesture, and by EditorState for the
 * handles it shows and for the text and image views, which take a press only when it is theirs.
 */
namespace ShapeEditing {

/// The row of the topmost record, of any kind, drawn within `slack` of `point`: a stroke
/// within half its width plus `slack`, a filled shape (a step, a redaction) anywhere inside,
/// a text on its lines of text (on its whole plate when it has one), an image on its
/// rectangle. A selected text is hit anywhere in its box, as its selection border shows it.
/// None when nothing is drawn there.
std::optional<int> recordAt(const QList<Annotation> &records, QPointF point, double slack,
                            std::optional<QUuid> selected = std::nullopt);

/** Where a press of Select lands: on a handle of the selected shape, or on a record. */
struct Press
{
    std::optional<int> row;    // the record pressed (the selected one for a handle)
    std::optional<int> handle; // the handle of the selected shape pressed
};

/// A press at `point`: a handle of the selected shape within `handleSlack` comes first,
/// then the topmost record within `hitSlack`.
Press pressAt(const QList<Annotation> &records, std::optional<QUuid> selected, QPointF point,
              double hitSlack, double handleSlack);

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
