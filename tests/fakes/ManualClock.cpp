#include "ManualClock.h"

#include <algorithm>

class ManualClock::ManualTimer final : public Clock::Timer
{
public:
    explicit ManualTimer(std::weak_ptr<Entry> entry) : m_entry(std::move(entry)) {}
    ~ManualTimer() override { stop(); }

    void stop() override
    {
        if (auto entry = m_entry.lock())
            entry->stopped = true;
    }
    bool isActive() const override
    {
        auto entry = m_entry.lock();
        return entry && !entry->stopped;
    }

private:
    std::weak_ptr<Entry> m_entry;
};

std::shared_ptr<ManualClock::Entry> ManualClock::add(qint64 due, int interval, QObject *context,
                                                     std::function<void()> action)
{
    auto entry = std::make_shared<Entry>();
    entry->due = due;
    entry->order = m_nextOrder++;
    entry->interval = interval;
    entry->hasContext = context != nullptr;
    entry->context = context;
    entry->action = std::move(action);
    m_entries.append(entry);
    return entry;
}

void ManualClock::after(int ms, QObject *context, std::function<void()> action)
{
    add(m_now + qMax(0, ms), 0, context, std::move(action));
}

std::unique_ptr<Clock::Timer> ManualClock::every(int ms, std::function<void()> tick)
{
    return std::make_unique<ManualTimer>(
        add(m_now + qMax(1, ms), qMax(1, ms), nullptr, std::move(tick)));
}

void ManualClock::advance(qint64 ms)
{
    const qint64 target = m_now + ms;
    for (;;) {
        m_entries.removeIf([](const std::shared_ptr<Entry> &e) { return e->stopped; });
        auto next =
            std::min_element(m_entries.begin(), m_entries.end(), [](const auto &a, const auto &b) {
                return a->due != b->due ? a->due < b->due : a->order < b->order;
            });
        if (next == m_entries.end() || (*next)->due > target)
            break;
        std::shared_ptr<Entry> entry = *next;
        m_now = entry->due;
        if (entry->interval > 0) {
            entry->due += entry->interval;
            entry->order = m_nextOrder++;
        } else {
            entry->stopped = true; // runs once
        }
        if (entry->hasContext && !entry->context)
            continue;
        entry->action();
    }
    m_now = target;
}

int ManualClock::pendingCount() const
{
    return int(std::count_if(m_entries.begin(), m_entries.end(),
                             [](const std::shared_ptr<Entry> &e) { return !e->stopped; }));
}
