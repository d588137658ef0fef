#pragma once

#include <QByteArray>
#include <QString>

/**
 * The Qt platform plugin the program's windows use, decided before its QApplication exists.
 * Qt 6.4 can neither place, stack nor shape a native Wayland window (there is no
 * layer-shell), so on a Wayland session the windows go through XWayland, where the stack
 * panel is an X window like any other. A platform the user has set is kept. OrrinvaleApp
 * applies it at launch; the choice itself takes the environment as arguments, for tests.
 */
struct PlatformChoice
{
    /// What QT_QPA_PLATFORM is to be set to; empty: left as it is.
    QByteArray platform;
    /// The one line to log about it; empty: nothing to say.
    QString warning;

    /// From QT_QPA_PLATFORM, WAYLAND_DISPLAY, XDG_SESSION_TYPE and DISPLAY as found.
    static PlatformChoice decide(const QString &requested, const QString &waylandDisplay,
                                 const QString &sessionType, const QString &x11Display);
    /// Decides from this process's environment, sets QT_QPA_PLATFORM and logs the line.
    static void applyToEnvironment();
};
