#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QRegion>
#include <QTimer>

#include <optional>

class DesktopWindowing;
class QQuickItem;

/**
 * Keeps the stack panel's window shaped to the thumbnails it shows: only they take clicks
 * (the rest of the panel lets clicks through to the windows below), and when nothing
 * composites the screen only they are drawn, so the transparent rest never shows as a black
 * block. Follows the thumbnails frame by frame while they move, scroll and fade, sending at
 * most one new shape per ThrottleMs. Made by AppDelegate for the panel; thumbnails are the
 * items whose objectName is ThumbnailName.
 */
class PanelShape : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *ThumbnailName = "stackThumbnail";
    static constexpr int ThrottleMs = 30;
    static constexpr int CompositorCheckMs = 2000;

    /// Call once the window's native window exists; shapes it at once (empty: no thumbnails).
    PanelShape(QQuickWindow *window, DesktopWindowing *windowing, QObject *parent = nullptr);

    /// The pixels the visible thumbnails cover now, in window coordinates.
    QRegion visibleThumbnails() const;
    /// The region last handed to the window.
    QRegion appliedRegion() const { return m_applied; }

    /// Recomputes the region and sends it if it changed (throttled); runs after every frame's
    /// animations, and may be called to catch up at once.
    void refresh();

private:
    void apply();
    void checkCompositor();
    void collect(QQuickItem *item, qreal opacity, QRegion &region) const;

    QPointer<QQuickWindow> m_window;
    DesktopWindowing *m_windowing;
    QRegion m_wanted;
    QRegion m_applied;
    bool m_everApplied = false;
    bool m_compositor = false;
    bool m_visibleCut = false;
    QElapsedTimer m_sinceApply;
    QTimer m_throttle;
    QTimer m_compositorCheck;
};
