#include "DrawingTool.h"

QString toolLabel(DrawingTool tool)
{
    switch (tool) {
    case DrawingTool::Pan:
        return QStringLiteral("Pan");
    case DrawingTool::Pointer:
        return QStringLiteral("Select");
    case DrawingTool::Text:
        return QStringLiteral("Text");
    case DrawingTool::Pen:
        return QStringLiteral("Pen");
    case DrawingTool::Rectangle:
        return QStringLiteral("Box");
    case DrawingTool::Line:
        return QStringLiteral("Line");
    case DrawingTool::Arrow:
        return QStringLiteral("Arrow");
    case DrawingTool::DroppedImage:
        return QStringLiteral("Dropped Image");
    case DrawingTool::Ellipse:
        return QStringLiteral("Ellipse");
    case DrawingTool::Highlighter:
        return QStringLiteral("Highlighter");
    case DrawingTool::Step:
        return QStringLiteral("Step");
    case DrawingTool::Redact:
        return QStringLiteral("Redact");
    case DrawingTool::Crop:
        return QStringLiteral("Crop");
    }
    return {};
}

bool isDrawingTool(DrawingTool tool)
{
    return isStrokedTool(tool) || tool == DrawingTool::Redact;
}

bool isStrokedTool(DrawingTool tool)
{
    return tool == DrawingTool::Pen || tool == DrawingTool::Rectangle ||
           tool == DrawingTool::Line || tool == DrawingTool::Arrow ||
           tool == DrawingTool::Ellipse || tool == DrawingTool::Highlighter;
}
