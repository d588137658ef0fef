#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

/**
 * The editor's tools, in toolbar order. The same values serve as the active tool of the
 * editor and as the kind of an annotation: a record made with a tool carries it as its type.
 * QML compares them by value (`DrawingTool.Text`); labels are for display only.
 */
class DrawingTools : public QObject
{
    Q_OBJECT
    QML_NAMED_ELEMENT(DrawingTool)
    QML_UNCREATABLE("Only its values are used")

public:
    // Values only ever join at the end: records and tests know them by number.
    enum class DrawingTool {
        Pan,
        Pointer,
        Text,
        Pen,
        Rectangle,
        Line,
        Arrow,
        DroppedImage,
        Ellipse,
        Highlighter,
        Step,
        Redact,
        Crop,
    };
    Q_ENUM(DrawingTool)
};

using DrawingTool = DrawingTools::DrawingTool;

/// Every tool, in order.
inline constexpr DrawingTool allDrawingTools[] = {
    DrawingTool::Pan,       DrawingTool::Pointer,     DrawingTool::Text,  DrawingTool::Pen,
    DrawingTool::Rectangle, DrawingTool::Line,        DrawingTool::Arrow, DrawingTool::DroppedImage,
    DrawingTool::Ellipse,   DrawingTool::Highlighter, DrawingTool::Step,  DrawingTool::Redact,
    DrawingTool::Crop};

/// The tool's name as shown to the user ("Box" for `Rectangle`).
QString toolLabel(DrawingTool tool);

/// Pen, box, line, arrow, ellipse, highlighter and redact: the tools that draw by dragging.
bool isDrawingTool(DrawingTool tool);

/// The tools whose records are stroked with a line width (the width buttons apply to them).
bool isStrokedTool(DrawingTool tool);
