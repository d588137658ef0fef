#pragma once

#include "Permissions.h"
#include "ScreenshotPermission.h"

#include <QDBusConnection>

class GlobalKeys;

/**
 * Permissions on a Wayland desktop. Key combinations are "trusted" once the global-shortcuts
 * portal has bound them (asking starts that); reading the screen is the screenshot portal's
 * permission in the desktop's permission store, which the portal itself asks for on the
 * first capture.
 */
class PortalPermissions final : public Permissions
{
public:
    PortalPermissions(GlobalKeys *keys, QDBusConnection bus);

    bool isTrusted() override;
    bool isTrustedWithPrompt() override;
    bool canStillBeTrusted() override;
    /// Granted unless the store holds a "no" for this program.
    bool preflightScreenCapture() override;
    /// Nothing to do ahead: the portal asks on the first capture.
    void requestScreenCapture() override {}
    /// Deletes the stored screen-reading decision; nothing stored is nothing to reset.
    Result<std::monostate> reset(const QString &service, const QString &appId) override;

private:
    GlobalKeys *m_keys;
    ScreenshotPermission m_screenshot;
};
