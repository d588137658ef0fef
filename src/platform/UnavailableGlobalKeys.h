#pragma once

#include "GlobalKeys.h"

/**
 * Where the program cannot take keys from other programs (a Wayland session until the
 * global-shortcuts portal is used, or no desktop): nothing is installable and every
 * combination is reported as not taken, with the reason.
 */
class UnavailableGlobalKeys final : public GlobalKeys
{
public:
    explicit UnavailableGlobalKeys(QString reason, QObject *parent = nullptr)
        : GlobalKeys(parent), m_reason(std::move(reason))
    {}

    bool isInstallable() const override { return false; }
    QList<Outcome> install() override
    {
        QList<Outcome> outcomes;
        for (Combination combination : combinations())
            outcomes.append({combination, false, m_reason});
        return outcomes;
    }

private:
    QString m_reason;
};
