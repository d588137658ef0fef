#pragma once

#include "DrawingTool.h"

#include <QPointF>
#include <QSizeF>

#include <memory>

class AnnotationDocument;
class CanvasViewport;
class ToolSettings;

/** What a gesture works on: the records, the view of the canvas and the tool's settings. */
struct GestureContext
{
    AnnotationDocument &document;
    CanvasViewport &viewport;
    ToolSettings &settings;
};

/**
 * What one tool does with the canvas pointer, as edits of the document or the viewport: a
 * drag (press, moves, end) and a click. Positions are the canvas area's. A drag ends once,
 * whether it was released or taken away, and what it made is kept. A new tool is one class
 * here, one DrawingTool value and one toolbar entry.
 */
class ToolGesture
{
public:
    explicit ToolGesture(GestureContext context) : m_context(context) {}
    virtual ~ToolGesture() = default;

    virtual void press(QPointF) {}
    /// `travel` is the pointer's way since the press.
    virtual void move(QPointF, QSizeF /*travel*/) {}
    virtual void end() {}
    /// A press released where it began. By default it deselects and drops blank texts.
    virtual void click(QPointF position);

    /// Whether the shape being drawn is held to its regular form (Shift: a circle).
    void setConstrained(bool on) { m_constrained = on; }

    /// The gesture of `tool`.
    static std::unique_ptr<ToolGesture> make(DrawingTool tool, GestureContext context);

protected:
    GestureContext m_context;
    bool m_constrained = false;
};
