#include "platform/scheduling/ManualScheduler.h"

#include <algorithm>

namespace corvane {

ManualScheduler::ManualScheduler() : m_previous(Scheduler::install(this)) {}

ManualScheduler::~ManualScheduler()
{
    Scheduler::install(m_previous);
}

void ManualScheduler::schedule(double seconds, QObject *context, std::function<void()> fn)
{
    m_tasks.push_back(Task{m_now + std::max(seconds, 0.0), m_sequence++, context != nullptr,
                           context, std::move(fn)});
}

void ManualScheduler::advance(double seconds)
{
    const double target = m_now + std::max(seconds, 0.0);
    // A small tolerance keeps sums of decimal fractions (0.1 + 0.2 ...) from missing a step.
    constexpr double epsilon = 1e-9;
    for (;;) {
        auto next = std::min_element(m_tasks.begin(), m_tasks.end(), [](const Task &a, const Task &b) {
            return a.due < b.due || (a.due == b.due && a.sequence < b.sequence);
        });
        if (next == m_tasks.end() || next->due > target + epsilon)
            break;
        Task task = std::move(*next);
        m_tasks.erase(next);
        m_now = std::max(m_now, task.due);
        if (!task.hasContext || task.context)
            task.fn();
    }
    m_now = target;
}

} // namespace corvane
