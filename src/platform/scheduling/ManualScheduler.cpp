#include "platform/scheduling/ManualScheduler.h"

#include <algorithm>
#include <cmath>

namespace corvane {

ManualScheduler::ManualScheduler() : m_previous(Scheduler::install(this)) {}

ManualScheduler::~ManualScheduler()
{
    Scheduler::install(m_previous);
}

void ManualScheduler::schedule(Duration after, QObject *context, std::function<void()> fn)
{
    const qint64 dueUs = m_nowUs + std::llround(std::max(after.count(), 0.0) * 1e6);
    m_tasks.push_back(Task{dueUs, m_sequence++, context != nullptr, context, std::move(fn)});
}

void ManualScheduler::advance(Duration by)
{
    const qint64 targetUs = m_nowUs + std::llround(std::max(by.count(), 0.0) * 1e6);
    for (;;) {
        auto next =
            std::min_element(m_tasks.begin(), m_tasks.end(), [](const Task &a, const Task &b) {
                return a.dueUs < b.dueUs || (a.dueUs == b.dueUs && a.sequence < b.sequence);
            });
        if (next == m_tasks.end() || next->dueUs > targetUs)
            break;
        Task task = std::move(*next);
        m_tasks.erase(next);
        m_nowUs = std::max(m_nowUs, task.dueUs);
        if (!task.hasContext || task.context)
            task.fn();
    }
    m_nowUs = targetUs;
}

} // namespace corvane
