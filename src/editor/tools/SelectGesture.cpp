#include "SelectGesture.h"

#include "ShapeEditing.h"
#include "ToolSettings.h"
#include "editor/document/AnnotationDocument.h"
#include "editor/render/ShapePaths.h"
#include "editor/viewport/CanvasViewport.h"

#include <cmath>

void SelectGesture::press(QPointF position)
{
    AnnotationDocument &document = m_context.document;
    const QPointF p = m_context.viewport.viewToCanvas(position);
    const double scale = m_context.viewport.canvasScale();
    m_before.reset();
    m_handle.reset();
    m_pressedShape = false;
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()) || !(scale > 0))
        return;
    m_pressPoint = p;
    const QList<Annotation> &records = document.list();
    const ShapeEditing::Press pressed = ShapeEditing::pressAt(
        records, document.selection(), p, hitSlack / scale, handleSlack / scale);
    if (!pressed.row)
        return;
    const Annotation record = records.at(*pressed.row);
    m_pressedShape = true;
    document.select(record.id);
    // The controls show the picked record's style, and choosing one restyles it.
    m_context.settings.setColor(record.color);
    // A text or an image reaching here moves with its own view; the press only picks it.
    if (!ShapePaths::isShape(record.type))
        return;
    m_before = record;
    m_handle = pressed.handle;
    m_context.settings.setLineWidth(record.lineWidth);
}

void SelectGesture::move(QPointF position, QSizeF)
{
    if (!m_before)
        return;
    const QPointF p = m_context.viewport.viewToCanvas(position);
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
        return;
    m_context.document.show(m_handle ? ShapeEditing::reshaped(*m_before, *m_handle, p)
                                     : ShapeEditing::moved(*m_before, p - m_pressPoint));
}

void SelectGesture::end()
{
    if (m_before)
        m_context.document.finishShowing(*m_before);
    m_before.reset();
    m_handle.reset();
}

void SelectGesture::click(QPointF position)
{
    // The press already selected what it landed on.
    if (m_pressedShape)
        return;
    ToolGesture::click(position);
}
