#include "CanvasPointer.h"

#include <QGuiApplication>
#include <QStyleHints>

CanvasPointer::CanvasPointer(GestureContext context, DrawingTool tool)
    : m_context(context), m_gesture(ToolGesture::make(tool, context))
{}

CanvasPointer::~CanvasPointer() = default;

void CanvasPointer::setTool(DrawingTool tool)
{
    // What the old tool drew is kept as it stands, so the next drag starts a record of its own.
    end();
    m_gesture = ToolGesture::make(tool, m_context);
}

void CanvasPointer::press(QPointF position)
{
    end();
    m_dragging = true;
    m_pressPosition = position;
    m_moved = false;
    m_gesture->press(position);
}

void CanvasPointer::move(QPointF position, bool constrained)
{
    if (!m_dragging)
        return;
    m_gesture->setConstrained(constrained);
    const QPointF travel = position - m_pressPosition;
    if (travel.manhattanLength() >= QGuiApplication::styleHints()->startDragDistance())
        m_moved = true;
    m_gesture->move(position, QSizeF(travel.x(), travel.y()));
}

bool CanvasPointer::release(QPointF)
{
    if (!m_dragging)
        return false;
    const bool isClick = !m_moved;
    end();
    return isClick;
}

void CanvasPointer::end()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    m_gesture->end();
}
