#pragma once

#include <QAnimationDriver>

namespace corvane {

// Replaces Qt's animation timer while it exists: animations move only when advance() is
// called, in frames of `frameMs` milliseconds.
class ManualAnimationDriver final : public QAnimationDriver
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ManualAnimationDriver)

public:
    explicit ManualAnimationDriver(int frameMs = 16, QObject *parent = nullptr);
    ~ManualAnimationDriver() override;

    qint64 elapsed() const override { return m_elapsed; }
    // Moves animation time forward by `ms`, one frame at a time (the last frame may be shorter).
    void advanceBy(qint64 ms);
    int frameMs() const { return m_frameMs; }

protected:
    // Qt reads elapsed() as time since the driver last started: an animation started after an
    // idle spell must not see that spell pass in its first frame.
    void start() override;

private:
    int m_frameMs;
    qint64 m_elapsed = 0;
};

} // namespace corvane
