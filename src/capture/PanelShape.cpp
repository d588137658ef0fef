#include "PanelShape.h"

#include "capture/StackGeometry.h"
#include "platform/DesktopWindowing.h"

#include <QQuickItem>

#include <cmath>

namespace {

// Positions this close to a whole pixel count as on it.
constexpr qreal Epsilon = 1.0 / 256;

} // namespace

PanelShape::PanelShape(DesktopWindowing *windowing, QObject *parent)
    : QObject(parent), m_windowing(windowing)
{
    m_inputThrottle.setSingleShot(true);
    connect(&m_inputThrottle, &QTimer::timeout, this, &PanelShape::applyInput);
    // A compositing manager may start or stop while the program runs.
    m_compositorCheck.setInterval(CompositorCheckMs);
    connect(&m_compositorCheck, &QTimer::timeout, this, &PanelShape::checkCompositor);
}

void PanelShape::attach(QQuickWindow *window)
{
    m_window = window;
    // The window's frames are the only times thumbnails can have moved.
    connect(window, &QQuickWindow::afterAnimating, this, &PanelShape::refresh);
    // The drawn shape changes once the frame is on screen: earlier, parts of the new shape
    // would show pixels the window has not drawn yet (black), later, parts of the old one
    // would show the new frame's transparent pixels (black too).
    connect(window, &QQuickWindow::frameSwapped, this, [this] {
        if (m_drawnPending) {
            m_drawnPending = false;
            setDrawn(m_current);
        }
    });
    m_compositorCheck.start();

    m_compositor = m_windowing->hasCompositor(window);
    m_current = visibleThumbnails();
    applyInput();
    if (m_compositor)
        m_windowing->setVisibleRegion(window, std::nullopt);
    else
        setDrawn(m_current);
    Q_EMIT compositingChanged();
}

QRegion PanelShape::visibleThumbnails() const
{
    QRegion region;
    if (m_window && m_window->contentItem())
        collect(m_window->contentItem(), 1.0, region);
    return region;
}

void PanelShape::collect(QQuickItem *item, qreal opacity, QRegion &region) const
{
    const qreal effectiveOpacity = opacity * item->opacity();
    if (!item->isVisible() || effectiveOpacity <= 0)
        return;
    if (item->objectName() == QLatin1String(ThumbnailName)) {
        // Only whole pixels: a thumbnail between pixels (while it moves) draws its edge half
        // transparent, which shows dark without a compositor.
        const QRectF scene = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        const QPoint topLeft(int(std::ceil(scene.left() - Epsilon)),
                             int(std::ceil(scene.top() - Epsilon)));
        const QPoint bottomRight(int(std::floor(scene.right() + Epsilon)),
                                 int(std::floor(scene.bottom() + Epsilon)));
        const QRect onScreen(topLeft,
                             QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()));
        const QRect window(QPoint(0, 0), m_window->size());
        region +=
            StackGeometry::roundedRegion(onScreen, int(std::lround(StackGeometry::CornerRadius)))
                .intersected(window);
        return;
    }
    const QList<QQuickItem *> children = item->childItems();
    for (QQuickItem *child : children)
        collect(child, effectiveOpacity, region);
}

void PanelShape::refresh()
{
    if (!m_window)
        return;
    const QRegion region = visibleThumbnails();
    if (region == m_current)
        return;
    m_current = region;
    m_drawnPending = !m_compositor;
    if (m_inputThrottle.isActive())
        return; // the pending update sends the newest region
    const qint64 elapsed = m_sinceInput.isValid() ? m_sinceInput.elapsed() : InputThrottleMs;
    if (elapsed >= InputThrottleMs)
        applyInput();
    else
        m_inputThrottle.start(int(InputThrottleMs - elapsed));
}

void PanelShape::applyInput()
{
    if (!m_window || (m_inputSent && m_input == m_current))
        return;
    m_windowing->setInputRegion(m_window, m_current);
    m_input = m_current;
    m_inputSent = true;
    m_sinceInput.start();
}

void PanelShape::setDrawn(const QRegion &region)
{
    if (!m_window || m_compositor || (m_drawnCut && m_drawn == region))
        return;
    m_windowing->setVisibleRegion(m_window, region);
    m_drawn = region;
    m_drawnCut = true;
}

void PanelShape::checkCompositor()
{
    if (!m_window)
        return;
    const bool compositor = m_windowing->hasCompositor(m_window);
    if (compositor == m_compositor)
        return;
    m_compositor = compositor;
    if (compositor) {
        m_windowing->setVisibleRegion(m_window, std::nullopt);
        m_drawnCut = false;
    } else {
        setDrawn(m_current);
    }
    Q_EMIT compositingChanged();
}
