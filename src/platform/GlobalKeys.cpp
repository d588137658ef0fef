#include "GlobalKeys.h"

#include "DisplaySession.h"
#include "PortalGlobalKeys.h"
#include "UnavailableGlobalKeys.h"
#include "X11GlobalKeys.h"

#include <QGuiApplication>

QString GlobalKeys::name(Combination combination)
{
    switch (combination) {
    case Combination::TakeScreenshot:
        return QStringLiteral("Ctrl+Shift+1");
    case Combination::ToggleStack:
        return QStringLiteral("Ctrl+Shift+2");
    case Combination::SelectRegion:
        return QStringLiteral("Ctrl+Shift+3");
    case Combination::CaptureWindow:
        return QStringLiteral("Ctrl+Shift+4");
    }
    return QString();
}

std::unique_ptr<GlobalKeys> GlobalKeys::create()
{
    switch (currentDisplaySession()) {
    case DisplaySession::X11:
        if (auto keys = X11GlobalKeys::forApplication())
            return keys;
        break;
    case DisplaySession::Wayland:
        return std::make_unique<PortalGlobalKeys>(QDBusConnection::sessionBus());
    case DisplaySession::None:
        break;
    }
    return std::make_unique<UnavailableGlobalKeys>(
        QStringLiteral("no key combinations on the \"%1\" platform")
            .arg(QGuiApplication::platformName()));
}
