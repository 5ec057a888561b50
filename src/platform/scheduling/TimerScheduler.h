#pragma once

#include "platform/scheduling/Scheduler.h"

namespace corvane {

// The real clock: Qt timers on the main thread's event loop.
class TimerScheduler final : public Scheduler
{
public:
    void schedule(Duration after, QObject *context, std::function<void()> fn) override;
    double now() const override;
};

} // namespace corvane
