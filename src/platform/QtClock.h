#pragma once

#include "Clock.h"

/** The real clock: QTimer on the UI thread's event loop. Owned by AppDelegate. */
class QtClock final : public Clock
{
public:
    void after(int ms, QObject *context, std::function<void()> action) override;
    std::unique_ptr<Timer> every(int ms, std::function<void()> tick) override;
};
