#pragma once

#include "tunnel/engine/EventLoop.h"

#include <functional>
#include <thread>

namespace corvane::tunnel {

// An event loop running on a thread of its own. Everything that lives on the loop is made,
// used and destroyed on that thread, through post() or call().
class EngineThread final
{
public:
    explicit EngineThread(const TimeSource &time = TimeSource::system());
    // Stops the loop and waits for its thread.
    ~EngineThread();
    EngineThread(const EngineThread &) = delete;
    EngineThread &operator=(const EngineThread &) = delete;

    EventLoop &loop() { return m_loop; }
    void post(std::function<void()> work) { m_loop.post(std::move(work)); }
    // Runs `work` on the loop's thread and returns once it has run.
    void call(const std::function<void()> &work);

private:
    EventLoop m_loop;
    std::thread m_thread;
};

} // namespace corvane::tunnel
