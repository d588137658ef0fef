#pragma once

#include "platform/Permissions.h"

#include <QHash>
#include <QStringList>

/**
 * A permission backend that tests control: whether the program is trusted and may read
 * the screen, which resets fail and with what message. It records every prompt, request and
 * reset in order.
 */
class FakePermissions final : public Permissions
{
public:
    void setTrusted(bool trusted) { m_trusted = trusted; }
    void setScreenCaptureGranted(bool granted) { m_screenCapture = granted; }
    void setRefused(bool refused) { m_refused = refused; }
    void failReset(const QString &service, const QString &message)
    {
        m_resetFailures.insert(service, message);
    }

    /// "prompt Accessibility", "request ScreenCapture", "reset <service> <app id>", in order.
    QStringList actions() const { return m_actions; }
    int trustQueries() const { return m_trustQueries; }

    bool isTrusted() override;
    bool isTrustedWithPrompt() override;
    bool canStillBeTrusted() override { return !m_refused; }
    bool preflightScreenCapture() override { return m_screenCapture; }
    void requestScreenCapture() override;
    Result<std::monostate> reset(const QString &service, const QString &appId) override;

private:
    bool m_trusted = false;
    bool m_screenCapture = false;
    bool m_refused = false;
    QHash<QString, QString> m_resetFailures;
    QStringList m_actions;
    int m_trustQueries = 0;
};
