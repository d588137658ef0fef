#include "QtClock.h"

#include <QTimer>

namespace {

class QtRepeatingTimer final : public Clock::Timer
{
public:
    QtRepeatingTimer(int ms, std::function<void()> tick)
    {
        m_timer.setInterval(ms);
        QObject::connect(&m_timer, &QTimer::timeout, std::move(tick));
        m_timer.start();
    }

    // Destroying the handle from inside its own tick is not allowed (the QTimer is still
    // emitting); callers stop it there and drop it later.
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace

void QtClock::after(int ms, QObject *context, std::function<void()> action)
{
    QTimer::singleShot(ms, context, std::move(action));
}

std::unique_ptr<Clock::Timer> QtClock::every(int ms, std::function<void()> tick)
{
    return std::make_unique<QtRepeatingTimer>(ms, std::move(tick));
}
