#include "CropGesture.h"

#include "editor/document/AnnotationDocument.h"
#include "editor/render/ShapePaths.h"
#include "editor/viewport/CanvasViewport.h"

#include <QLineF>

#include <cmath>

void CropGesture::press(QPointF position)
{
    const QPointF p = m_context.viewport.viewToCanvas(position);
    const double scale = m_context.viewport.canvasScale();
    m_dragging = std::isfinite(p.x()) && std::isfinite(p.y()) && scale > 0;
    if (!m_dragging)
        return;
    m_before = m_context.document.crop();
    m_anchor = p;
    if (m_before) {
        const QRectF r = *m_before;
        const QPointF corners[] = {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
        for (int i = 0; i < 4; ++i) {
            if (QLineF(corners[i], p).length() <= cornerSlack / scale) {
                m_anchor = corners[(i + 2) % 4];
                return;
            }
        }
    }
}

void CropGesture::move(QPointF position, QSizeF)
{
    const QPointF p = m_context.viewport.viewToCanvas(position);
    if (!m_dragging || !std::isfinite(p.x()) || !std::isfinite(p.y()))
        return;
    m_context.document.showCrop(ShapePaths::rectangleFrom(m_anchor, p));
}

void CropGesture::end()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    m_context.document.finishCrop(m_before);
}
