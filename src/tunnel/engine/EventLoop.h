#pragma once

#include "tunnel/Bytes.h"
#include "tunnel/TunnelError.h"
#include "tunnel/engine/Registration.h"
#include "tunnel/engine/TimeSource.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

struct epoll_event;

namespace corvane::tunnel {

// An object the loop deletes after the events it may still receive in this round.
class Disposable
{
public:
    virtual ~Disposable() = default;
};

// The I/O engine: one thread waiting on epoll with level-triggered readiness, timers on a
// TimeSource, and work posted from other threads. Descriptors join it through a Registration.
// Two scratch buffers are shared by everything the loop runs, so a connection needs a buffer of
// its own only for what a peer did not take.
class EventLoop final
{
public:
    using Clock = TimeSource::Clock;
    static constexpr std::size_t kScratchSize = 256 * 1024;

    struct Timer
    {
        Clock::time_point at{};
        std::uint64_t id = 0;
        explicit operator bool() const { return id != 0; }
    };

    // Throws, on the thread that makes it, when its own descriptors cannot be had.
    explicit EventLoop(const TimeSource &time = TimeSource::system());
    ~EventLoop();
    EventLoop(const EventLoop &) = delete;
    EventLoop &operator=(const EventLoop &) = delete;

    Timer after(Clock::duration delay, std::function<void()> callback);
    void cancel(Timer &timer);
    // The time as of this round of the loop.
    Clock::time_point now() const { return m_now; }

    void disposeLater(std::unique_ptr<Disposable> object);

    // From any thread: runs `work` on the loop's thread.
    void post(std::function<void()> work);
    // From any thread: makes the loop look at its clock and timers again.
    void wake();
    // Runs until quit(); quit() may come from any thread.
    void run();
    void quit();
    // Why epoll stopped answering, once it has. The loop goes on with posted work and timers
    // alone, so what lives on it still ends by its own time-outs and failures.
    const std::optional<TunnelError> &failure() const { return m_failure; }

    // For a loop driven by another event loop: the descriptor that turns readable when there
    // is work, one round of what is ready now, and the wait until the next timer is due.
    int descriptor() const { return m_epoll; }
    void runReady() { turn(0); }
    int msUntilNextTimer() const { return timeoutMs(); }

    std::span<std::uint8_t> input() { return m_input; }
    // Cleared for each use; keeps its capacity.
    Bytes &output()
    {
        m_output.clear();
        return m_output;
    }

private:
    friend class Registration;

    // 0, or the errno of the refusal.
    int control(int operation, const Registration::Entry &entry, Interest interest);
    void retire(std::unique_ptr<Registration::Entry> entry);
    int wait(epoll_event *events, int size, int timeoutMs);
    void turn(int timeoutMs);
    int timeoutMs() const;
    void runTimers();
    void runPosted();

    const TimeSource &m_time;
    int m_epoll;
    int m_wakeFd;
    Clock::time_point m_now;
    std::map<std::pair<Clock::time_point, std::uint64_t>, std::function<void()>> m_timers;
    std::uint64_t m_nextTimer = 1;
    std::vector<std::unique_ptr<Disposable>> m_disposed;
    std::vector<std::unique_ptr<Registration::Entry>> m_retired;
    std::optional<TunnelError> m_failure;
    std::mutex m_postedMutex;
    std::vector<std::function<void()>> m_posted;
    bool m_quit = false;
    std::vector<std::uint8_t> m_input;
    Bytes m_output;
};

} // namespace corvane::tunnel
