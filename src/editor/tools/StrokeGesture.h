#pragma once

#include "ToolGesture.h"

/**
 * Pen, box, line and arrow: a drag draws a record of the tool in the selected colour, one
 * point per sample (the shape tools use the first and the last), committed when it ends.
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
