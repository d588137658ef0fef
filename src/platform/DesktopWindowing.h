#pragma once

#include <QRegion>

#include <memory>
#include <optional>

class QWindow;

/**
 * What the window manager and the X server must be told about the stack panel beyond Qt's
 * window flags: shown on every virtual desktop, kept out of the task bar and pager, and
 * shaped so that only its thumbnails take clicks (and, with nothing compositing the screen,
 * only they are drawn at all).
 */
class DesktopWindowing
{
public:
    virtual ~DesktopWindowing() = default;

    /// Call after the native window exists and before it is first shown.
    virtual void keepOnAllDesktops(QWindow *window) = 0;

    /// Only `region` (window coordinates, in device-independent pixels) takes pointer input;
    /// clicks elsewhere reach the windows below. Holds across the window being mapped again
    /// and taken over by the window manager.
    virtual void setInputRegion(QWindow *window, const QRegion &region) = 0;

    /// Only `region` of the window is drawn; no value shows the whole window again.
    virtual void setVisibleRegion(QWindow *window, const std::optional<QRegion> &region) = 0;

    /// Whether a compositing manager draws the screen, so transparent pixels of a window
    /// show what lies below instead of black.
    virtual bool hasCompositor(QWindow *window) const = 0;

    /// The backend for the running platform.
    static std::unique_ptr<DesktopWindowing> create();
};
