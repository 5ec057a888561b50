#include "ui/morphing/DisplayLink.h"

#include <algorithm>
#include <cmath>

namespace corvane {

DisplayLink::DisplayLink(std::function<void()> tick, QObject *parent)
    : QAbstractAnimation(parent), m_tick(std::move(tick))
{}

void DisplayLink::setFrameDuration(double seconds)
{
    if (seconds > 0.0)
        m_frameDuration = seconds;
}

int DisplayLink::frameInterval() const
{
    if (m_preferredFramesPerSecond <= 0 || m_frameDuration <= 0.0)
        return 1;
    return std::max(
        1, static_cast<int>(std::lround(1.0 / (m_frameDuration * m_preferredFramesPerSecond))));
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
        m_lastTickMs = 0.0;
        start();
    }
}

void DisplayLink::updateCurrentTime(int currentTime)
{
    // Starting sets the time to zero synchronously; only a moved clock is a frame.
    if (currentTime == m_lastTime)
        return;
    m_lastTime = currentTime;
    // A lower preferred rate leaves out frames, so each tick stands for a whole number of them.
    const double period = frameInterval() * m_frameDuration * 1000.0;
    // Each tick goes to the update nearest to the moment it falls due.
    while (!isPaused() && currentTime >= m_lastTickMs + period / 2) {
        m_lastTickMs += period;
        m_tick();
    }
}

} // namespace corvane
