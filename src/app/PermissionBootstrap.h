#pragma once

#include "platform/Clock.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class Permissions;
class Preferences;

/**
 * The permission bootstrap run once at launch: erases the stored permission decisions on
 * the first launch of each build, asks for the key-combination trust ("Accessibility")
 * and then for screen reading, and polls every half second, at most 120 times, until the
 * trust is granted, then installs the global shortcut. AppDelegate owns it; its timers run
 * on an injected clock so tests can drive them.
 */
class PermissionBootstrap : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollIntervalMs = 500;
    static constexpr int PollAttemptLimit = 120;
    static constexpr int ScreenRecordingDelayMs = 300;

    /// `setupGlobalShortcut` installs the key combinations once the trust is granted.
    PermissionBootstrap(Permissions *permissions, Preferences *preferences, Clock *clock,
                        QString appId, QString buildId, std::function<void()> setupGlobalShortcut,
                        QObject *parent = nullptr);
    ~PermissionBootstrap() override;

    /// The build identifier compiled in: version plus commit, "0" when the build has none.
    static QString compiledBuildId();

    /// The whole bootstrap; called once, at launch.
    void bootstrapPermissions();
    /// Erases the stored decision on `service` for `bundleID`; nothing without an id.
    void resetTCC(const QString &service, const QString &bundleID);
    /// Asks for screen reading, 0.3 s from now, unless it is granted already.
    void promptScreenRecordingIfNeeded();
    /// Waits for the trust, then asks for screen reading and installs the shortcut.
    void pollForAccessibilityThenRequestScreenRecording();

    bool isPolling() const { return m_pollTimer && m_pollTimer->isActive(); }

private:
    void pollTick();
    void accessibilityGranted();

    Permissions *m_permissions;
    Preferences *m_preferences;
    Clock *m_clock;
    QString m_appId;
    QString m_buildId;
    std::function<void()> m_setupGlobalShortcut;
    std::unique_ptr<Clock::Timer> m_pollTimer;
    int m_pollAttempts = 0;
};
