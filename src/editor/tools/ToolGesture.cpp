#include "ToolGesture.h"

#include "CropGesture.h"
#include "PanGesture.h"
#include "SelectGesture.h"
#include "StepGesture.h"
#include "StrokeGesture.h"
#include "TextGesture.h"
#include "editor/document/AnnotationDocument.h"

void ToolGesture::click(QPointF)
{
    m_context.document.select(std::nullopt);
    m_context.document.removeBlankTexts();
}

std::unique_ptr<ToolGesture> ToolGesture::make(DrawingTool tool, GestureContext context)
{
    switch (tool) {
    case DrawingTool::Pan:
        return std::make_unique<PanGesture>(context);
    case DrawingTool::Text:
        return std::make_unique<TextGesture>(context);
    case DrawingTool::Pen:
    case DrawingTool::Rectangle:
    case DrawingTool::Line:
    case DrawingTool::Arrow:
    case DrawingTool::Ellipse:
    case DrawingTool::Highlighter:
    case DrawingTool::Redact:
        return std::make_unique<StrokeGesture>(context, tool);
    case DrawingTool::Step:
        return std::make_unique<StepGesture>(context);
    case DrawingTool::Crop:
        return std::make_unique<CropGesture>(context);
    case DrawingTool::Pointer:
    case DrawingTool::DroppedImage:
        break;
    }
    return std::make_unique<SelectGesture>(context);
}
