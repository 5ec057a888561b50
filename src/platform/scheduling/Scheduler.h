#pragma once

#include <QObject>
#include <chrono>
#include <functional>

namespace corvane {

// Every delayed step of the application goes through one scheduler, so tests can swap in a
// manual clock instead of waiting for real time.
class Scheduler
{
public:
    virtual ~Scheduler() = default;

    // Any std::chrono duration converts to it without loss or a cast.
    using Duration = std::chrono::duration<double>;

    // Runs `fn` on the main thread after `after`, never from inside this call. If `context` is
    // given and destroyed before then, `fn` is dropped.
    virtual void schedule(Duration after, QObject *context, std::function<void()> fn) = 0;
    // Seconds on the scheduler's clock, which only goes forward: for what paces itself by it.
    virtual double now() const = 0;

    static Scheduler &current();
    // Installs `scheduler` (not owned) for all later calls; nullptr restores the real one.
    // Returns the scheduler that was in place.
    static Scheduler *install(Scheduler *scheduler);
};

// Runs `fn` on the main queue after `after`.
void delay(Scheduler::Duration after, std::function<void()> fn);
// Same, but dropped when `context` is destroyed first.
void delay(Scheduler::Duration after, QObject *context, std::function<void()> fn);

} // namespace corvane
