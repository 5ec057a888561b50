#include "platform/scheduling/ManualClock.h"

#include <QCoreApplication>
#include <cmath>

namespace corvane {

void ManualClock::advance(Scheduler::Duration by)
{
    qint64 remainingMs = std::llround(by.count() * 1000.0);
    QCoreApplication::processEvents();
    // Steps already due run even when no time passes.
    m_scheduler.advance(Scheduler::Duration::zero());
    while (remainingMs > 0) {
        const qint64 step = std::min<qint64>(remainingMs, m_animations.frameMs());
        m_animations.advanceBy(step);
        m_scheduler.advance(std::chrono::milliseconds(step));
        remainingMs -= step;
    }
    QCoreApplication::processEvents();
}

} // namespace corvane
