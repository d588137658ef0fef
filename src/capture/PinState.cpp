#include "PinState.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

PinState::PinState(quint64 captureId, const QImage &image, QObject *parent)
    : QObject(parent), m_captureId(captureId), m_image(image)
{}

QSizeF PinState::size() const
{
    return m_image.deviceIndependentSize() * m_zoom;
}

QPoint PinState::placement(QPoint pointer, QSize size, const QRect &screen)
{
    const auto along = [](int at, int length, int start, int end) {
        return std::max(start, std::min(at, end - length));
    };
    return {along(pointer.x(), size.width(), screen.left(), screen.left() + screen.width()),
            along(pointer.y(), size.height(), screen.top(), screen.top() + screen.height())};
}

void PinState::wheel(QPointF angleDelta, bool control)
{
    const qreal notches = (angleDelta.y() != 0 ? angleDelta.y() : angleDelta.x()) / 120.0;
    if (notches == 0)
        return;
    if (control)
        setOpacity(m_opacity + notches * OpacityPerNotch);
    else
        setZoom(m_zoom * std::pow(ZoomPerNotch, notches));
}

void PinState::setZoom(qreal zoom)
{
    // Steps that land a hair off a bound (floating point) still reach it exactly.
    zoom = std::clamp(zoom, MinZoom, MaxZoom);
    if (qFuzzyCompare(zoom, 1.0))
        zoom = 1.0;
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;
    Q_EMIT zoomChanged();
}

void PinState::setOpacity(qreal opacity)
{
    opacity = std::clamp(std::round(opacity * 100) / 100, MinOpacity, 1.0);
    if (opacity == m_opacity)
        return;
    m_opacity = opacity;
    Q_EMIT opacityChanged();
}
