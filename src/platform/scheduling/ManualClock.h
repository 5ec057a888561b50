#pragma once

#include "platform/scheduling/ManualAnimationDriver.h"
#include "platform/scheduling/ManualScheduler.h"

namespace corvane {

// Test time: the delayed steps and Qt's animations move together, only when advance() is
// called. Create one per test; it installs itself and restores the real clocks when destroyed.
class ManualClock final
{
public:
    explicit ManualClock(int frameMs = 16) : m_animations(frameMs) {}
    Q_DISABLE_COPY_MOVE(ManualClock)

    // Moves both clocks forward frame by frame, so a step scheduled at the end of an animation
    // sees that animation finished, as it would in real time.
    void advance(Scheduler::Duration by);
    double now() const { return m_scheduler.now(); }

    ManualScheduler &scheduler() { return m_scheduler; }
    ManualAnimationDriver &animations() { return m_animations; }

private:
    ManualScheduler m_scheduler;
    ManualAnimationDriver m_animations;
};

} // namespace corvane
