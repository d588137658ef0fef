#include "StrokeGesture.h"

#include "ToolSettings.h"
#include "editor/document/AnnotationDocument.h"
#include "editor/viewport/CanvasViewport.h"

#include <cmath>

void StrokeGesture::sample(QPointF position)
{
    const QPointF p = m_context.viewport.viewToCanvas(position);
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
        return;
    AnnotationDocument &document = m_context.document;
    if (!document.drawing())
        document.beginDrawing(Annotation::create(m_tool, p, m_context.settings.color()));
    else
        document.extendDrawing(p);
}

void StrokeGesture::end()
{
    m_context.document.commitDrawing();
}
