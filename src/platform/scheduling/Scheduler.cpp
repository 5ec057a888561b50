#include "platform/scheduling/Scheduler.h"

#include "platform/scheduling/TimerScheduler.h"

#include <QCoreApplication>

namespace corvane {

namespace {
Scheduler *installed = nullptr;
} // namespace

Scheduler &Scheduler::current()
{
    if (installed)
        return *installed;
    static TimerScheduler real;
    return real;
}

Scheduler *Scheduler::install(Scheduler *scheduler)
{
    return std::exchange(installed, scheduler);
}

void delay(double seconds, std::function<void()> fn)
{
    Scheduler::current().schedule(seconds, nullptr, std::move(fn));
}

void delay(double seconds, QObject *context, std::function<void()> fn)
{
    Scheduler::current().schedule(seconds, context, std::move(fn));
}

} // namespace corvane
