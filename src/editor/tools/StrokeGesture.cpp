#include "StrokeGesture.h"

#include "ToolSettings.h"
#include "editor/document/AnnotationDocument.h"
#include "editor/viewport/CanvasViewport.h"

#include <algorithm>
#include <cmath>

void StrokeGesture::sample(QPointF position)
{
    QPointF p = m_context.viewport.viewToCanvas(position);
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
        return;
    AnnotationDocument &document = m_context.document;
    if (!document.drawing()) {
        Annotation record = Annotation::create(m_tool, p, m_context.settings.color());
        record.lineWidth = m_context.settings.lineWidth();
        if (m_tool == DrawingTool::Redact) {
            record.color = m_context.settings.redactColor();
            record.pixelate = m_context.settings.redactPixelate();
        }
        document.beginDrawing(record);
        return;
    }
    if (m_constrained && m_tool == DrawingTool::Ellipse) {
        // The square's side is the longer of the two spans, each keeping its direction.
        const QPointF first = document.drawing()->points.first();
        const QPointF span = p - first;
        const double side = std::max(std::abs(span.x()), std::abs(span.y()));
        p = first + QPointF(std::copysign(side, span.x()), std::copysign(side, span.y()));
    }
    document.extendDrawing(p);
}

void StrokeGesture::end()
{
    m_context.document.commitDrawing();
}
