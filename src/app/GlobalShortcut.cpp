#include "GlobalShortcut.h"

#include "capture/ScreenshotManager.h"
#include "platform/Log.h"
#include "platform/Permissions.h"

GlobalShortcut::GlobalShortcut(std::unique_ptr<GlobalKeys> keys, Permissions *permissions,
                               ScreenshotManager *manager, QObject *parent)
    : QObject(parent), m_keys(std::move(keys)), m_permissions(permissions)
{
    // Queued: the key event is answered first, a capture never holds up the keyboard.
    connect(
        m_keys.get(), &GlobalKeys::activated, manager,
        [manager](GlobalKeys::Combination combination) {
            switch (combination) {
            case GlobalKeys::Combination::TakeScreenshot:
                manager->takeScreenshot();
                break;
            case GlobalKeys::Combination::ToggleStack:
                manager->toggleVisibility();
                break;
            case GlobalKeys::Combination::SelectRegion:
                manager->request(CaptureRequest::ofKind(CaptureRequest::Kind::SelectRegion));
                break;
            case GlobalKeys::Combination::CaptureWindow:
                manager->request(CaptureRequest::ofKind(CaptureRequest::Kind::Window));
                break;
            }
        },
        Qt::QueuedConnection);
}

GlobalShortcut::~GlobalShortcut() = default;

void GlobalShortcut::setupGlobalShortcut()
{
    if (m_installed)
        return;
    if (!m_permissions->isTrusted()) {
        Log::line(QStringLiteral("Accessibility permission not granted yet."));
        return;
    }
    // A session that refuses key combinations altogether gives no shortcut, silently.
    if (!m_keys->isInstallable())
        return;

    m_installed = true;
    for (const GlobalKeys::Outcome &outcome : m_keys->install()) {
        if (!outcome.taken) {
            Log::line(QStringLiteral("Could not take %1: %2.")
                          .arg(GlobalKeys::name(outcome.combination), outcome.reason));
        }
    }
}
