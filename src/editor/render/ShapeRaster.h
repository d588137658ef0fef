#pragma once

#include "Redaction.h"
#include "editor/document/Annotation.h"
#include "editor/viewport/CanvasGeometry.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QTransform>
#include <QUuid>

#include <optional>

class QPainter;

/** What a picture of the shapes is rendered for: the placement of canvas space and the pixels. */
struct RasterTarget
{
    CanvasGeometry::View view;
    qreal ratio = 0;
    QSize pixels;
    bool operator==(const RasterTarget &other) const = default;
    /// Canvas space to the picture's pixels.
    QTransform deviceTransform() const;
};

/**
 * The shape records as the drawing layer shows them, rendered into pictures. Text and image
 * records have views of their own under the layer: where one is opaque, what the records
 * before it drew is cleared, so it shows above them and below the records after it, in the
 * order the export draws.
 */
namespace ShapeRaster {

/// Whether records of `type` take part in the pictures: shapes, and text and images.
bool isDrawn(DrawingTool type);

/// A transparent picture of `target` with every shape of `records`, in order; redactions
/// hide what they cover of `source`'s capture.
QImage render(const QList<Annotation> &records, const RasterTarget &target,
              const RedactionSource &source = {});
/// Strokes `annotation` (or clears under a text or image) from point `fromPoint` on, onto `painter`
/// set up with the target's device transform; `opaque` strokes at full opacity. Returns the device
/// rectangle it may have touched (empty for a record that is no shape).
QRect paint(QPainter &painter, const Annotation &annotation, qsizetype fromPoint, bool opaque,
            const RasterTarget &target, const RedactionSource &source = {});
/// The device rectangle that `paint` may touch for the whole of `annotation` (empty for a
/// record that is no shape).
QRect bounds(const Annotation &annotation, const RasterTarget &target,
             const RedactionSource &source = {});
/// The device pixels `paint` may touch for the whole of `annotation`, as rectangles along
/// its outline (a box's four sides, pieces of a line or a stroke): a part of `bounds`, so
/// that a change far from its outline need not draw it.
QRegion footprint(const Annotation &annotation, const RasterTarget &target,
                  const RedactionSource &source = {});
/// Renders `region` of `picture` (made for `target`) again: cleared, then every shape of
/// `records` that reaches into it, in order, clipped to it. The pixels inside come out as a
/// whole render would make them. `known` may give each record's `footprint`, row by row.
void renderRegion(QImage &picture, const QRegion &region, const QList<Annotation> &records,
                  const RasterTarget &target, const RedactionSource &source = {},
                  const QList<QRegion> &known = {});
/// The device pixels a redaction covers on `target`: the capture pixels under it, grown by
/// what smoothing of the capture on screen can carry past them (a capture pixel and one
/// device pixel). Empty without a usable source.
QRect redactionCover(const Annotation &annotation, const RasterTarget &target,
                     const RedactionSource &source);

} // namespace ShapeRaster

/**
 * The picture of the record being drawn. Each pen sample extends it by its new segment, so a
 * sample costs the same however long the stroke is. It is painted opaque and meant to be
 * shown at the record's opacity, which looks the same as stroking the whole path at that
 * opacity, overlaps included.
 */
class LiveStroke
{
public:
    /// The picture is for `target` from now on; a new size starts it empty.
    void retarget(const RasterTarget &target);
    /// Draws `drawing` (or clears the picture when none is drawn); false when nothing
    /// changed. `changed` receives the device pixels that did. A redaction being drawn
    /// hides what it covers of `source`.
    bool update(const std::optional<Annotation> &drawing, const RedactionSource &source = {},
                QRegion *changed = nullptr);
    /// The next update draws from scratch.
    void invalidate() { m_invalid = true; }

    const QImage &image() const { return m_image; }
    bool isShowing() const { return !m_id.isNull() && !m_bounds.isEmpty(); }
    double opacity() const { return m_opacity; }
    /// Whether the picture holds exactly `record` as finished, for `target`.
    bool holds(const Annotation &record, const RasterTarget &target) const;
    /// Puts the picture, at its opacity, onto `painter` (no transform set).
    void drawOnto(QPainter &painter) const;
    /// The device pixels the picture holds a stroke in.
    QRect bounds() const { return m_bounds; }

private:
    RasterTarget m_target;
    QImage m_image;
    QUuid m_id;
    qsizetype m_painted = 0; // points of the record already in the picture
    QRect m_bounds;
    double m_opacity = 1;
    bool m_invalid = true;
};
