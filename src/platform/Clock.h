#pragma once

#include <QObject>

#include <functional>
#include <memory>

/**
 * Timers on the UI thread behind a narrow interface, so that tests can drive time by hand
 * and run a minute of polling in no time. The permission bootstrap schedules its poll and
 * its delayed request through it.
 */
class Clock
{
public:
    /** A repeating timer; stopping it or destroying the handle ends the ticks. */
    class Timer
    {
    public:
        virtual ~Timer() = default;
        virtual void stop() = 0;
        virtual bool isActive() const = 0;
    };

    virtual ~Clock() = default;

    /// Calls `action` once, `ms` from now, on a later turn of the event loop; not at all if
    /// `context` is destroyed first.
    virtual void after(int ms, QObject *context, std::function<void()> action) = 0;
    /// Calls `tick` every `ms` from now until the timer is stopped or destroyed.
    virtual std::unique_ptr<Timer> every(int ms, std::function<void()> tick) = 0;
};
