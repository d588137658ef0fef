#pragma once

#include "ToolGesture.h"

/**
 * Pen, box, line, arrow, ellipse, highlighter and redact: a drag draws a record of the tool
 * in the selected colour and width (a redaction: in the redaction style), one point per sample (the
 * shape tools use the first and the last), committed when it ends. A constrained ellipse is a
 * circle.
 */
class StrokeGesture : public ToolGesture
{
public:
    StrokeGesture(GestureContext context, DrawingTool tool) : ToolGesture(context), m_tool(tool) {}

    void press(QPointF position) override { sample(position); }
    void move(QPointF position, QSizeF) override { sample(position); }
    void end() override;

private:
    void sample(QPointF position);

    DrawingTool m_tool;
};
