#include "DisplaySession.h"

#include <QGuiApplication>

bool isWaylandSession(const QString &waylandDisplay, const QString &sessionType)
{
    return !waylandDisplay.isEmpty() ||
           sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
}

DisplaySession classifyDisplaySession(const QString &platformName, const QString &waylandDisplay,
                                      const QString &sessionType)
{
    if (platformName == QLatin1String("wayland"))
        return DisplaySession::Wayland;
    if (platformName != QLatin1String("xcb"))
        return DisplaySession::None;
    // An X connection inside a Wayland session is XWayland: it sees keys only while one of
    // its own clients has the focus, so it is no X11 desktop for grabbing purposes.
    if (isWaylandSession(waylandDisplay, sessionType))
        return DisplaySession::Wayland;
    return DisplaySession::X11;
}

DisplaySession currentDisplaySession()
{
    return classifyDisplaySession(QGuiApplication::platformName(),
                                  qEnvironmentVariable("WAYLAND_DISPLAY"),
                                  qEnvironmentVariable("XDG_SESSION_TYPE"));
}
