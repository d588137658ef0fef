#include "PlatformChoice.h"

#include "DisplaySession.h"
#include "Log.h"

namespace {

// Qt tries the plugins of a ";"-separated list in turn and takes the first that starts, each
// written "name" or "name:arguments"; all of Qt's Wayland plugins are named "wayland...".
bool prefersWayland(const QString &requested)
{
    const QString first = requested.section(QLatin1Char(';'), 0, 0).section(QLatin1Char(':'), 0, 0);
    return first.trimmed().startsWith(QLatin1String("wayland"), Qt::CaseInsensitive);
}

} // namespace

PlatformChoice PlatformChoice::decide(const QString &requested, const QString &waylandDisplay,
                                      const QString &sessionType, const QString &x11Display)
{
    if (!requested.trimmed().isEmpty()) {
        if (!prefersWayland(requested))
            return {};
        return {{},
                QStringLiteral("QT_QPA_PLATFORM=%1 puts the windows on Wayland itself, where the "
                               "stack cannot be placed: unset QT_QPA_PLATFORM to run through "
                               "XWayland.")
                    .arg(requested)};
    }
    if (!isWaylandSession(waylandDisplay, sessionType))
        return {};
    // Without an X display there is no XWayland to go through: the xcb plugin would only
    // fail to start, so Qt chooses as it would.
    if (x11Display.isEmpty())
        return {{},
                QStringLiteral("This Wayland session has no XWayland (DISPLAY is not set): the "
                               "stack cannot be placed.")};
    return {QByteArrayLiteral("xcb"), QString()};
}

void PlatformChoice::applyToEnvironment()
{
    const PlatformChoice choice =
        decide(qEnvironmentVariable("QT_QPA_PLATFORM"), qEnvironmentVariable("WAYLAND_DISPLAY"),
               qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("DISPLAY"));
    if (!choice.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", choice.platform);
    if (!choice.warning.isEmpty())
        Log::line(choice.warning);
}
