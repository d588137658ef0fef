#pragma once

#include "GlobalKeys.h"
#include "Result.h"
#include "WaitCanceller.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QHash>
#include <QThreadPool>
#include <QVariantMap>

/**
 * The global combinations on a Wayland desktop, through its GlobalShortcuts portal: one
 * portal session (a fixed handle token, so the desktop remembers the user's keys) holding
 * both combinations with Ctrl+Shift+1 and Ctrl+Shift+2 as the preferred triggers. The
 * desktop decides the real keys and reports each press as `Activated`.
 *
 * The session is asked for on a worker thread (the portal may show the user a dialog);
 * everything else happens on the UI thread.
 */
class PortalGlobalKeys final : public GlobalKeys
{
    Q_OBJECT

public:
    /// The portal's name for each combination.
    static QString shortcutId(Combination combination);
    static constexpr const char *SessionToken = "orrinvale";
    static constexpr int DefaultTimeoutMs = 120000; // the user may be choosing keys

    explicit PortalGlobalKeys(QDBusConnection bus, int timeoutMs = DefaultTimeoutMs,
                              QObject *parent = nullptr);
    ~PortalGlobalKeys() override;

    bool isInstallable() const override { return m_state == State::Bound; }
    bool isRefused() const override { return m_state == State::Failed; }
    void askToInstall() override;
    QList<Outcome> install() override;

    /// What became of the request: the session's handle and the ids the desktop bound.
    struct Binding
    {
        QString sessionHandle;
        QStringList boundIds;
    };
    /// The whole exchange with the portal; blocks, so it runs on a worker thread. Gives up
    /// at once when `canceller` is cancelled.
    static Result<Binding> bind(QDBusConnection bus, int timeoutMs,
                                WaitCanceller *canceller = nullptr);

Q_SIGNALS:
    /// The request ended: bound, or refused/unavailable (already said in the log).
    void askFinished(bool bound);

private Q_SLOTS:
    void onActivated(const QDBusObjectPath &sessionHandle, const QString &shortcutId,
                     qulonglong timestamp, const QVariantMap &options);

private:
    enum class State { Idle, Asking, Bound, Failed };

    void finishAsking(const Result<Binding> &result);

    QDBusConnection m_bus;
    int m_timeoutMs;
    State m_state = State::Idle;
    Binding m_binding;
    // Outlives the worker, which uses it.
    WaitCanceller m_canceller;
    QThreadPool m_worker;
};
