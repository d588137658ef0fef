#include "EditHistory.h"

std::optional<QUuid> EditHistory::takeNewest(const std::function<bool(const QUuid &)> &present)
{
    while (!m_added.isEmpty()) {
        const QUuid id = m_added.takeLast();
        if (present(id))
            return id;
    }
    return std::nullopt;
}
