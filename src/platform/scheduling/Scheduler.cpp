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

void delay(Scheduler::Duration after, std::function<void()> fn)
{
    Scheduler::current().schedule(after, nullptr, std::move(fn));
}

void delay(Scheduler::Duration after, QObject *context, std::function<void()> fn)
{
    Scheduler::current().schedule(after, context, std::move(fn));
}

} // namespace corvane
