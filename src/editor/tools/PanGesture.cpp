#include "PanGesture.h"

#include "editor/viewport/CanvasViewport.h"

void PanGesture::press(QPointF)
{
    m_context.viewport.panChanged({});
}

void PanGesture::move(QPointF, QSizeF travel)
{
    m_context.viewport.panChanged(travel);
}

void PanGesture::end()
{
    m_context.viewport.panEnded();
}
