#include "StepGesture.h"

#include "ToolSettings.h"
#include "editor/document/AnnotationDocument.h"
#include "editor/viewport/CanvasViewport.h"

#include <cmath>

void StepGesture::click(QPointF position)
{
    ToolGesture::click(position);
    const QPointF p = m_context.viewport.viewToCanvas(position);
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
        return;
    Annotation step = Annotation::create(DrawingTool::Step, p, m_context.settings.color());
    // Steps keep one size: the width buttons are for strokes.
    step.lineWidth = ToolSettings::defaultLineWidth;
    m_context.document.add(step);
}
