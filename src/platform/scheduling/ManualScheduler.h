#pragma once

#include "platform/scheduling/Scheduler.h"

#include <QPointer>
#include <vector>

namespace corvane {

// A clock that only moves when told to. Steps run in the order of their due time, and steps
// due at the same time in the order they were scheduled.
class ManualScheduler final : public Scheduler
{
public:
    ManualScheduler();
    ~ManualScheduler() override;
    Q_DISABLE_COPY_MOVE(ManualScheduler)

    void schedule(Duration after, QObject *context, std::function<void()> fn) override;

    // Moves the clock forward, running every step that falls due on the way (including steps
    // scheduled by those steps).
    void advance(Duration by);
    double now() const override { return static_cast<double>(m_nowUs) / 1e6; }
    // Steps still waiting (dropped contexts included until their time comes).
    int pending() const { return static_cast<int>(m_tasks.size()); }

private:
    struct Task
    {
        qint64 dueUs;
        quint64 sequence;
        bool hasContext;
        QPointer<QObject> context;
        std::function<void()> fn;
    };

    // Whole microseconds, so that many small steps add up exactly.
    qint64 m_nowUs = 0;
    quint64 m_sequence = 0;
    std::vector<Task> m_tasks;
    Scheduler *m_previous = nullptr;
};

} // namespace corvane
