#pragma once

#include <QAbstractAnimation>
#include <functional>

namespace corvane {

// A callback once per frame of the screen it serves, driven by Qt's animation timer. That timer
// keeps its own pace (about 16 ms) whatever the screen's rate, so each of its updates delivers
// the screen frames that have passed since the last one: on a 120 Hz screen two ticks per update,
// on a 30 Hz screen one every other update. A frame counter thus lasts the same time on every
// screen. While paused it is off the animation timer entirely, so an idle owner costs no
// wake-ups; tests drive it with a manual animation driver.
class DisplayLink final : public QAbstractAnimation
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DisplayLink)

public:
    explicit DisplayLink(std::function<void()> tick, QObject *parent = nullptr);

    int duration() const override { return -1; }

    // Seconds between two frames of the screen this link serves.
    double frameDuration() const { return m_frameDuration; }
    void setFrameDuration(double seconds);
    // 0 means the screen's own rate.
    int preferredFramesPerSecond() const { return m_preferredFramesPerSecond; }
    void setPreferredFramesPerSecond(int fps) { m_preferredFramesPerSecond = fps; }
    // Screen frames per tick: 2 at a preferred 30 on a 60 Hz screen.
    int frameInterval() const;

    bool isPaused() const { return state() != QAbstractAnimation::Running; }
    void setPaused(bool paused);

protected:
    void updateCurrentTime(int currentTime) override;

private:
    std::function<void()> m_tick;
    double m_frameDuration = 1.0 / 60.0;
    int m_preferredFramesPerSecond = 0;
    int m_lastTime = 0;
    // Animation time, in milliseconds, at which the last tick fell due; the start counts as one.
    double m_lastTickMs = 0.0;
};

} // namespace corvane
