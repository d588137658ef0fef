#pragma once

#include <QList>
#include <QUuid>

#include <functional>
#include <optional>

/**
 * The edits of one editor, oldest first. Each step names the record it made; a step whose
 * record has gone since (a blank text dropped, Clear) no longer counts. Undo takes back the
 * newest step that still counts. Only the adding of a record is a step so far: moves, scales
 * and restyles change records in place and are not taken back.
 */
class EditHistory
{
public:
    /// The record `id` was added.
    void recordAdded(const QUuid &id) { m_added.append(id); }
    /// The newest added record for which `present` holds, forgotten with every newer step;
    /// none when no step counts.
    std::optional<QUuid> takeNewest(const std::function<bool(const QUuid &)> &present);
    void forgetAll() { m_added.clear(); }

private:
    QList<QUuid> m_added;
};
