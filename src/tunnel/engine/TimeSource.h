#pragma once

#include <atomic>
#include <chrono>

namespace corvane::tunnel {

// Where the engine reads the time: the steady clock, or in tests a clock that moves only when
// told to, so no test waits for a back-off or a time-out.
class TimeSource
{
public:
    using Clock = std::chrono::steady_clock;

    virtual ~TimeSource() = default;
    virtual Clock::time_point now() const = 0;
    // A manual clock never moves by itself: the engine waits for work, not for its timers.
    virtual bool isManual() const { return false; }

    static const TimeSource &system();
};

class ManualTime final : public TimeSource
{
public:
    Clock::time_point now() const override
    {
        return Clock::time_point(Clock::duration(m_ticks.load()));
    }
    bool isManual() const override { return true; }
    // Moves the clock; the engine sees it once woken (EventLoop::wake).
    void advance(Clock::duration by) { m_ticks += by.count(); }

private:
    std::atomic<Clock::rep> m_ticks{Clock::duration(std::chrono::hours(1)).count()};
};

} // namespace corvane::tunnel
