#pragma once

#include "platform/GlobalKeys.h"

#include <QObject>

#include <memory>

class Permissions;
class ScreenshotManager;

/**
 * The global capture shortcut: installs Ctrl+Shift+1 and Ctrl+Shift+2 once the desktop
 * trusts the program with them, and runs their actions on the screenshot manager on a later
 * turn of the event loop, after the key event has been answered. AppDelegate owns it and
 * sets it up at launch and from the permission poll.
 */
class GlobalShortcut : public QObject
{
    Q_OBJECT

public:
    GlobalShortcut(std::unique_ptr<GlobalKeys> keys, Permissions *permissions,
                   ScreenshotManager *manager, QObject *parent = nullptr);
    ~GlobalShortcut() override;

    /// Installs the combinations if they are not yet and the program is trusted; safe to
    /// call any number of times.
    void setupGlobalShortcut();
    bool isInstalled() const { return m_installed; }

private:
    std::unique_ptr<GlobalKeys> m_keys;
    Permissions *m_permissions;
    bool m_installed = false;
};
