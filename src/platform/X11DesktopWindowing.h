#pragma once

#include "DesktopWindowing.h"

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QList>

#include <xcb/xcb.h>

#include <optional>

/**
 * EWMH hints and SHAPE regions on an X server: _NET_WM_DESKTOP and _NET_WM_STATE set before
 * mapping; input and bounding shapes set at once and set again each time the window is
 * mapped or reparented, because a window manager that takes a window on after its shape was
 * set (openbox) gives the clicks on the empty parts to its own frame.
 */
class X11DesktopWindowing final : public DesktopWindowing, private QAbstractNativeEventFilter
{
public:
    X11DesktopWindowing();
    ~X11DesktopWindowing() override;

    void keepOnAllDesktops(QWindow *window) override;
    void setInputRegion(QWindow *window, const QRegion &region) override;
    void setVisibleRegion(QWindow *window, const std::optional<QRegion> &region) override;
    bool hasCompositor(QWindow *window) const override;

private:
    struct Shapes
    {
        std::optional<QList<xcb_rectangle_t>> input;
        // Set: a bounding shape of these rectangles; unset: the whole window.
        std::optional<QList<xcb_rectangle_t>> visible;
    };

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override;
    void apply(xcb_window_t window, const Shapes &shapes) const;

    xcb_connection_t *m_connection = nullptr;
    QHash<xcb_window_t, Shapes> m_shapes;
};
