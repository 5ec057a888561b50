#include "platform/scheduling/ManualClock.h"

#include <QCoreApplication>
#include <cmath>

namespace corvane {

void ManualClock::advance(double seconds)
{
    qint64 remainingMs = std::llround(seconds * 1000.0);
    QCoreApplication::processEvents();
    // Steps already due run even when no time passes.
    m_scheduler.advance(0);
    while (remainingMs > 0) {
        const qint64 step = std::min<qint64>(remainingMs, m_animations.frameMs());
        m_animations.advanceBy(step);
        m_scheduler.advance(static_cast<double>(step) / 1000.0);
        remainingMs -= step;
    }
    QCoreApplication::processEvents();
}

} // namespace corvane
