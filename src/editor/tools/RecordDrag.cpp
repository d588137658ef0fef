#include "RecordDrag.h"

#include <algorithm>
#include <cmath>

void RecordDrag::reset(QPointF position, double scale)
{
    m_active = Kind::None;
    m_position = m_startPosition = position;
    m_scale = m_startScale = scale;
}

bool RecordDrag::moveBy(QPointF translation, double zoom)
{
    if (m_active == Kind::Scale || !std::isfinite(zoom) || !(zoom > 0))
        return false;
    const QPointF position = m_startPosition + translation / zoom;
    if (!std::isfinite(position.x()) || !std::isfinite(position.y()))
        return false;
    m_active = Kind::Move;
    m_position = position;
    return true;
}

bool RecordDrag::scaleTo(double scale, double minimum)
{
    if (m_active == Kind::Move || !std::isfinite(scale))
        return false;
    m_active = Kind::Scale;
    m_scale = std::max(scale, minimum);
    return true;
}

bool RecordDrag::end(Kind kind)
{
    if (m_active != kind || kind == Kind::None)
        return false;
    m_active = Kind::None;
    m_startPosition = m_position;
    m_startScale = m_scale;
    return true;
}

bool RecordDrag::cancel(Kind kind)
{
    if (m_active != kind || kind == Kind::None)
        return false;
    m_active = Kind::None;
    m_position = m_startPosition;
    m_scale = m_startScale;
    return true;
}
