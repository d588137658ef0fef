#pragma once

#include "platform/Clock.h"

#include <QList>
#include <QPointer>

/**
 * A clock that moves only when the test says so: `advance()` runs every single shot and
 * every tick that falls due, in time order, including those scheduled while advancing.
 */
class ManualClock final : public Clock
{
public:
    void after(int ms, QObject *context, std::function<void()> action) override;
    std::unique_ptr<Timer> every(int ms, std::function<void()> tick) override;

    /// Moves time forward by `ms` milliseconds.
    void advance(qint64 ms);
    qint64 now() const { return m_now; }
    /// Single shots not yet run plus repeating timers still running.
    int pendingCount() const;

private:
    struct Entry
    {
        qint64 due = 0;
        quint64 order = 0; // ties at the same time run in scheduling order
        int interval = 0;  // 0: a single shot
        bool hasContext = false;
        QPointer<QObject> context;
        std::function<void()> action;
        bool stopped = false;
    };
    class ManualTimer;

    std::shared_ptr<Entry> add(qint64 due, int interval, QObject *context,
                               std::function<void()> action);

    qint64 m_now = 0;
    quint64 m_nextOrder = 0;
    QList<std::shared_ptr<Entry>> m_entries;
};
