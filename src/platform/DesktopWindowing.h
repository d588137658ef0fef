#pragma once

#include <memory>

class QWindow;

/**
 * What the window manager must be told about the stack panel beyond Qt's window flags:
 * shown on every virtual desktop and kept out of the task bar and pager.
 */
class DesktopWindowing
{
public:
    virtual ~DesktopWindowing() = default;

    /// Call after the native window exists and before it is first shown.
    virtual void keepOnAllDesktops(QWindow *window) = 0;

    /// The backend for the running platform.
    static std::unique_ptr<DesktopWindowing> create();
};
