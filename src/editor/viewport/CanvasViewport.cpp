#include "CanvasViewport.h"

#include <cmath>

namespace {

bool isFinite(QSizeF size)
{
    return std::isfinite(size.width()) && std::isfinite(size.height());
}

} // namespace

CanvasViewport::CanvasViewport(QObject *parent) : QObject(parent) {}

void CanvasViewport::setCaptureSize(QSizeF size)
{
    if (size == m_capture)
        return;
    m_capture = size;
    layOut();
}

void CanvasViewport::setAreaSize(QSizeF area)
{
    if (area == m_area)
        return;
    m_area = area;
    layOut();
}

void CanvasViewport::setCanvasSize(QSizeF size)
{
    if (size.isEmpty() || !isFinite(size) || size == m_viewSize)
        return;
    m_viewSize = size;
    Q_EMIT viewSizeChanged();
    layOut();
}

void CanvasViewport::layOut()
{
    const QSizeF fitted = CanvasGeometry::fittedSize(m_area, m_capture);
    if (!fitted.isEmpty()) {
        // Canvas space is fixed by the first layout; later ones only stretch it onto the
        // new fit (CanvasGeometry), so annotations stay on their pixels.
        if (m_viewSize.isEmpty()) {
            m_viewSize = fitted;
            Q_EMIT viewSizeChanged();
        }
        const QSizeF offset = CanvasGeometry::margins(m_area, fitted);
        if (offset != m_imageOffset) {
            m_imageOffset = offset;
            Q_EMIT imageOffsetChanged();
        }
    }
    Q_EMIT placementChanged();
}

QString CanvasViewport::zoomReadout(double zoom)
{
    // Toward zero, and formatted from the double itself: the zoom has no upper limit, so it
    // may not fit any integer type.
    const double percent = std::trunc(zoom * 100);
    return QStringLiteral("Zoom: %1%").arg(std::isfinite(percent) ? percent : 0.0, 0, 'f', 0);
}

CanvasGeometry::View CanvasViewport::view() const
{
    return CanvasGeometry::makeView(m_area, m_capture, m_viewSize, m_zoomScale, m_panOffset);
}

QPointF CanvasViewport::canvasOrigin() const
{
    return CanvasGeometry::canvasToView(QPointF(0, 0), view());
}

QPointF CanvasViewport::viewToCanvas(QPointF v) const
{
    return CanvasGeometry::viewToCanvas(v, view());
}

QPointF CanvasViewport::canvasToView(QPointF c) const
{
    return CanvasGeometry::canvasToView(c, view());
}

QPointF CanvasViewport::canvasCentre(QPointF fallback) const
{
    // Only the width tells whether the canvas has been laid out.
    return m_viewSize.width() > 0 ? QPointF(m_viewSize.width() * 0.5, m_viewSize.height() * 0.5)
                                  : fallback;
}

void CanvasViewport::panChanged(QSizeF translation)
{
    const QSizeF pan = m_basePan + translation;
    if (isFinite(pan))
        setPanOffset(pan);
}

void CanvasViewport::panEnded()
{
    m_basePan = m_panOffset;
}

void CanvasViewport::pinchChanged(double magnification)
{
    const double zoom = std::max(m_baseZoom * magnification, minimumZoom);
    if (!std::isfinite(zoom))
        return;
    const double k = zoom / m_zoomScale;
    const QSizeF pan = m_panOffset * k;
    // A step that would leave the finite numbers is refused: past it nothing could be
    // shown or undone.
    if (!std::isfinite(k) || !isFinite(pan))
        return;
    setPanOffset(pan);
    m_basePan = pan;
    setZoomScale(zoom);
}

void CanvasViewport::pinchEnded()
{
    m_baseZoom = m_zoomScale;
    m_basePan = m_panOffset;
}

void CanvasViewport::pinchStep(double magnification)
{
    pinchChanged(magnification);
    pinchEnded();
}

void CanvasViewport::wheelPan(QSizeF delta)
{
    const QSizeF pan = m_panOffset + delta;
    if (!isFinite(pan))
        return;
    setPanOffset(pan);
    m_basePan = pan;
}

void CanvasViewport::setZoomScale(double zoom)
{
    if (zoom == m_zoomScale)
        return;
    m_zoomScale = zoom;
    Q_EMIT zoomScaleChanged();
    Q_EMIT placementChanged();
}

void CanvasViewport::setPanOffset(QSizeF pan)
{
    if (pan == m_panOffset)
        return;
    m_panOffset = pan;
    Q_EMIT placementChanged();
}
