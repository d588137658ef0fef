#pragma once

#include <QString>

/**
 * The kind of desktop session the program runs in. Backends for key grabs and permissions
 * are chosen from it once at start-up; on a Wayland session the program's windows may still
 * go through XWayland, so Qt's platform name alone does not tell.
 */
enum class DisplaySession { X11, Wayland, None };

/// Whether the desktop session is a Wayland one, from its WAYLAND_DISPLAY and XDG_SESSION_TYPE,
/// whatever Qt platform the program uses.
bool isWaylandSession(const QString &waylandDisplay, const QString &sessionType);

/// Decides from Qt's platform name and the session's WAYLAND_DISPLAY and XDG_SESSION_TYPE.
DisplaySession classifyDisplaySession(const QString &platformName, const QString &waylandDisplay,
                                      const QString &sessionType);

/// The session of the running program.
DisplaySession currentDisplaySession();
