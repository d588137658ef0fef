#include "DrawingTool.h"

QString rawValue(DrawingTool tool)
{
    switch (tool) {
    case DrawingTool::pan:
        return QStringLiteral("Pan");
    case DrawingTool::pointer:
        return QStringLiteral("Select");
    case DrawingTool::text:
        return QStringLiteral("Text");
    case DrawingTool::pen:
        return QStringLiteral("Pen");
    case DrawingTool::rectangle:
        return QStringLiteral("Box");
    case DrawingTool::line:
        return QStringLiteral("Line");
    case DrawingTool::arrow:
        return QStringLiteral("Arrow");
    case DrawingTool::droppedImage:
        return QStringLiteral("Dropped Image");
    }
    return {};
}

std::optional<DrawingTool> drawingToolFromRawValue(const QString &raw)
{
    for (DrawingTool tool : allDrawingTools) {
        if (rawValue(tool) == raw)
            return tool;
    }
    return std::nullopt;
}

bool isDrawingTool(DrawingTool tool)
{
    return tool == DrawingTool::pen || tool == DrawingTool::rectangle ||
           tool == DrawingTool::line || tool == DrawingTool::arrow;
}
