#pragma once

#include "DesktopWindowing.h"

/** EWMH hints on an X server: _NET_WM_DESKTOP and _NET_WM_STATE set before mapping. */
class X11DesktopWindowing final : public DesktopWindowing
{
public:
    void keepOnAllDesktops(QWindow *window) override;
};
