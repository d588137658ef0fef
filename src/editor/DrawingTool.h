#pragma once

#include <QString>

#include <optional>

/**
 * The editor's tools, in toolbar order. The same values serve as the active tool of the
 * editor and as the kind of an annotation: a record made with a tool carries it as its type.
 * Used by Annotation, EditorState, the drawing layer and the export.
 */
enum class DrawingTool { pan, pointer, text, pen, rectangle, line, arrow, droppedImage };

/// Every tool, in order.
inline constexpr DrawingTool allDrawingTools[] = {
    DrawingTool::pan,       DrawingTool::pointer, DrawingTool::text,  DrawingTool::pen,
    DrawingTool::rectangle, DrawingTool::line,    DrawingTool::arrow, DrawingTool::droppedImage};

/// The tool's name as shown to the user ("Box" for `rectangle`), which is also its raw value.
QString rawValue(DrawingTool tool);

/// The tool whose raw value is exactly `raw` (case and spaces count), or none.
std::optional<DrawingTool> drawingToolFromRawValue(const QString &raw);

/// Pen, box, line and arrow: the tools that draw by dragging.
bool isDrawingTool(DrawingTool tool);
