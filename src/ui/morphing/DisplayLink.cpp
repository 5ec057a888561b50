#include "ui/morphing/DisplayLink.h"

namespace corvane {

DisplayLink::DisplayLink(std::function<void()> tick, QObject *parent)
    : QAbstractAnimation(parent), m_tick(std::move(tick))
{}

void DisplayLink::setFrameDuration(double seconds)
{
    if (seconds > 0.0)
        m_frameDuration = seconds;
}

void DisplayLink::setPaused(bool paused)
{
    if (paused) {
        if (state() == QAbstractAnimation::Running)
            pause();
    } else if (state() == QAbstractAnimation::Paused) {
        resume();
    } else if (state() == QAbstractAnimation::Stopped) {
        m_lastTime = 0;
        start();
    }
}

void DisplayLink::updateCurrentTime(int currentTime)
{
    // Starting sets the time to zero synchronously; only a moved clock is a frame.
    if (currentTime == m_lastTime)
        return;
    m_lastTime = currentTime;
    m_tick();
}

} // namespace corvane
