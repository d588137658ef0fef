#include "PanelShape.h"

#include "capture/StackGeometry.h"
#include "platform/DesktopWindowing.h"

#include <QQuickItem>
#include <QQuickWindow>

#include <cmath>

PanelShape::PanelShape(QQuickWindow *window, DesktopWindowing *windowing, QObject *parent)
    : QObject(parent), m_window(window), m_windowing(windowing)
{
    m_throttle.setSingleShot(true);
    connect(&m_throttle, &QTimer::timeout, this, &PanelShape::apply);
    // The window's frames are the only times thumbnails can have moved.
    connect(window, &QQuickWindow::afterAnimating, this, &PanelShape::refresh);
    // A compositing manager may start or stop while the program runs.
    m_compositorCheck.setInterval(CompositorCheckMs);
    connect(&m_compositorCheck, &QTimer::timeout, this, &PanelShape::checkCompositor);
    m_compositorCheck.start();

    m_compositor = m_windowing->hasCompositor(window);
    m_wanted = visibleThumbnails();
    apply();
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
        const QRect onScreen =
            item->mapRectToScene(QRectF(0, 0, item->width(), item->height())).toAlignedRect();
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
    const QRegion region = visibleThumbnails();
    if (region == m_wanted)
        return;
    m_wanted = region;
    if (m_throttle.isActive())
        return; // the pending update sends the newest region
    const qint64 elapsed = m_sinceApply.isValid() ? m_sinceApply.elapsed() : ThrottleMs;
    if (elapsed >= ThrottleMs)
        apply();
    else
        m_throttle.start(int(ThrottleMs - elapsed));
}

void PanelShape::apply()
{
    if (!m_window)
        return;
    if (m_everApplied && m_wanted == m_applied && m_visibleCut == !m_compositor)
        return;
    m_windowing->setInputRegion(m_window, m_wanted);
    if (!m_compositor) {
        // Transparent pixels would show black: draw nothing but the thumbnails.
        m_windowing->setVisibleRegion(m_window, m_wanted);
        m_visibleCut = true;
    } else if (m_visibleCut || !m_everApplied) {
        m_windowing->setVisibleRegion(m_window, std::nullopt);
        m_visibleCut = false;
    }
    m_applied = m_wanted;
    m_everApplied = true;
    m_sinceApply.start();
}

void PanelShape::checkCompositor()
{
    if (!m_window)
        return;
    const bool compositor = m_windowing->hasCompositor(m_window);
    if (compositor == m_compositor)
        return;
    m_compositor = compositor;
    apply();
}
