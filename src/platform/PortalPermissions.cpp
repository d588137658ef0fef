#include "PortalPermissions.h"

#include "GlobalKeys.h"

PortalPermissions::PortalPermissions(GlobalKeys *keys, QDBusConnection bus)
    : m_keys(keys), m_screenshot(std::move(bus))
{}

bool PortalPermissions::isTrusted()
{
    return m_keys->isInstallable();
}

bool PortalPermissions::isTrustedWithPrompt()
{
    m_keys->askToInstall();
    return m_keys->isInstallable();
}

bool PortalPermissions::canStillBeTrusted()
{
    return !m_keys->isRefused();
}

bool PortalPermissions::preflightScreenCapture()
{
    return m_screenshot.isAllowed();
}

Result<std::monostate> PortalPermissions::reset(const QString &service, const QString &)
{
    if (service != Permissions::ScreenCapture)
        return std::monostate(); // the shortcut session is remembered by the desktop, not here
    return m_screenshot.erase();
}
