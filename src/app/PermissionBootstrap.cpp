#include "PermissionBootstrap.h"

#include "platform/Log.h"
#include "platform/Permissions.h"
#include "platform/Preferences.h"

PermissionBootstrap::PermissionBootstrap(Permissions *permissions, Preferences *preferences,
                                         Clock *clock, QString appId, QString buildId,
                                         std::function<void()> setupGlobalShortcut, QObject *parent)
    : QObject(parent), m_permissions(permissions), m_preferences(preferences), m_clock(clock),
      m_appId(std::move(appId)), m_buildId(std::move(buildId)),
      m_setupGlobalShortcut(std::move(setupGlobalShortcut))
{}

PermissionBootstrap::~PermissionBootstrap() = default;

QString PermissionBootstrap::compiledBuildId()
{
    const QString id = QStringLiteral(ORRINVALE_BUILD_ID);
    return id.isEmpty() ? QStringLiteral("0") : id;
}

void PermissionBootstrap::bootstrapPermissions()
{
    const QString buildId = m_buildId.isEmpty() ? QStringLiteral("0") : m_buildId;

    // Each new build starts from undecided permissions, once.
    if (m_preferences->permissionsResetBuild() != buildId) {
        resetTCC(Permissions::Accessibility, m_appId);
        resetTCC(Permissions::ScreenCapture, m_appId);
        m_preferences->setPermissionsResetBuild(buildId);
    }

    const bool trusted = m_permissions->isTrusted();
    if (trusted && m_permissions->preflightScreenCapture())
        return;
    if (trusted) {
        promptScreenRecordingIfNeeded();
        return;
    }
    m_permissions->isTrustedWithPrompt();
    pollForAccessibilityThenRequestScreenRecording();
}

void PermissionBootstrap::resetTCC(const QString &service, const QString &bundleID)
{
    if (bundleID.isEmpty())
        return;
    const Result<std::monostate> result = m_permissions->reset(service, bundleID);
    if (!result.ok())
        Log::line(QStringLiteral("Failed to reset ") + service + QStringLiteral(" permission: ") +
                  result.error());
}

void PermissionBootstrap::promptScreenRecordingIfNeeded()
{
    if (m_permissions->preflightScreenCapture())
        return;
    m_clock->after(ScreenRecordingDelayMs, this, [this] { m_permissions->requestScreenCapture(); });
}

void PermissionBootstrap::pollForAccessibilityThenRequestScreenRecording()
{
    if (m_permissions->isTrusted()) {
        promptScreenRecordingIfNeeded();
        m_setupGlobalShortcut();
        return;
    }
    if (m_pollTimer)
        m_pollTimer->stop();
    m_pollAttempts = 0;
    m_pollTimer = m_clock->every(PollIntervalMs, [this] { pollTick(); });
}

void PermissionBootstrap::pollTick()
{
    ++m_pollAttempts;
    if (m_permissions->isTrusted()) {
        // Stopped, not dropped: the timer is still delivering this tick.
        m_pollTimer->stop();
        m_clock->after(0, this, [this] { accessibilityGranted(); });
    } else if (!m_permissions->canStillBeTrusted()) {
        m_pollTimer->stop(); // the keys' backend has said why
    } else if (m_pollAttempts >= PollAttemptLimit) {
        m_pollTimer->stop();
        Log::line(QStringLiteral("Accessibility permission not granted within timeout."));
    }
}

void PermissionBootstrap::accessibilityGranted()
{
    promptScreenRecordingIfNeeded();
    m_setupGlobalShortcut();
}
