#pragma once

#include "ToolGesture.h"

#include <QPointF>

#include <memory>

/**
 * The canvas's left button, handed to the current tool's gesture: one drag from press to
 * release, and a click when the pointer did not travel the platform's drag distance. A press
 * that never saw its release, a taken-away grab and a change of tool end the drag as a
 * release would.
 */
class CanvasPointer
{
public:
    CanvasPointer(GestureContext context, DrawingTool tool);
    ~CanvasPointer();

    /// Ends the drag of the old tool; later presses go to `tool`'s gesture.
    void setTool(DrawingTool tool);
    void press(QPointF position);
    /// `constrained`: Shift is held (an ellipse becomes a circle).
    void move(QPointF position, bool constrained = false);
    /// Ends the drag; true when the press was a click.
    bool release(QPointF position);
    /// Ends the drag, if any, as if it were released; no click.
    void end();
    /// A click for the current tool.
    void click(QPointF position) { m_gesture->click(position); }

private:
    GestureContext m_context;
    std::unique_ptr<ToolGesture> m_gesture;
    bool m_dragging = false;
    QPointF m_pressPosition;
    bool m_moved = false;
};
