#include "FakeGlobalKeys.h"

QList<GlobalKeys::Outcome> FakeGlobalKeys::install()
{
    ++m_installCalls;
    QList<Outcome> outcomes;
    for (Combination combination : combinations()) {
        const bool refused = m_refusals.contains(combination);
        outcomes.append({combination, !refused, m_refusals.value(combination)});
    }
    return outcomes;
}
