#include "tunnel/engine/EngineThread.h"

#include <future>

namespace corvane::tunnel {

EngineThread::EngineThread(const TimeSource &time)
    : m_loop(time), m_thread([this] { m_loop.run(); })
{}

EngineThread::~EngineThread()
{
    m_loop.quit();
    m_thread.join();
}

void EngineThread::call(const std::function<void()> &work)
{
    std::promise<void> done;
    m_loop.post([&] {
        work();
        done.set_value();
    });
    done.get_future().wait();
}

} // namespace corvane::tunnel
