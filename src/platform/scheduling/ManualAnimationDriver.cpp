#include "platform/scheduling/ManualAnimationDriver.h"

#include <QCoreApplication>
#include <algorithm>

namespace corvane {

ManualAnimationDriver::ManualAnimationDriver(int frameMs, QObject *parent)
    : QAnimationDriver(parent), m_frameMs(std::max(frameMs, 1))
{
    install();
}

ManualAnimationDriver::~ManualAnimationDriver()
{
    uninstall();
}

void ManualAnimationDriver::start()
{
    m_elapsed = 0;
    QAnimationDriver::start();
}

void ManualAnimationDriver::advanceBy(qint64 ms)
{
    // Animations register with the driver through posted events; let them arrive first.
    QCoreApplication::processEvents();
    while (ms > 0) {
        const qint64 step = std::min<qint64>(ms, m_frameMs);
        m_elapsed += step;
        ms -= step;
        // Ticking a stopped driver would make Qt restart it with no animation to run.
        if (isRunning())
            advance();
        QCoreApplication::processEvents();
    }
}

} // namespace corvane
