#pragma once

#include "platform/GlobalKeys.h"

#include <QHash>

/**
 * A global-key backend that tests control: whether keys are installable, which combinations
 * another program holds; `press()` reports a combination as the desktop would.
 */
class FakeGlobalKeys final : public GlobalKeys
{
public:
    using GlobalKeys::GlobalKeys;

    void setInstallable(bool installable) { m_installable = installable; }
    void refuse(Combination combination, const QString &reason)
    {
        m_refusals.insert(combination, reason);
    }
    int installCalls() const { return m_installCalls; }
    void press(Combination combination) { Q_EMIT activated(combination); }

    bool isInstallable() const override { return m_installable; }
    QList<Outcome> install() override;

private:
    bool m_installable = true;
    QHash<Combination, QString> m_refusals;
    int m_installCalls = 0;
};
