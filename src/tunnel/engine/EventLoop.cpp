#include "tunnel/engine/EventLoop.h"

#include <cerrno>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace corvane::tunnel {

namespace {
class SystemTime final : public TimeSource
{
public:
    Clock::time_point now() const override { return Clock::now(); }
};

// The wake-up descriptor's epoll entry carries this tag instead of a Watched.
Watched *const kWakeTag = nullptr;
} // namespace

const TimeSource &TimeSource::system()
{
    static const SystemTime time;
    return time;
}

EventLoop::EventLoop(const TimeSource &time)
    : m_time(time), m_epoll(epoll_create1(EPOLL_CLOEXEC)),
      m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), m_now(time.now()), m_input(kScratchSize)
{
    if (m_epoll < 0 || m_wakeFd < 0)
        throw std::runtime_error("cannot create the event loop's descriptors");
    watch(m_wakeFd, EPOLLIN, kWakeTag);
}

EventLoop::~EventLoop()
{
    m_disposed.clear();
    ::close(m_wakeFd);
    ::close(m_epoll);
}

void EventLoop::watch(int fd, std::uint32_t events, Watched *watched)
{
    epoll_event event{};
    event.events = events;
    event.data.ptr = watched;
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
}

void EventLoop::change(int fd, std::uint32_t events, Watched *watched)
{
    epoll_event event{};
    event.events = events;
    event.data.ptr = watched;
    epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event);
}

void EventLoop::unwatch(int fd)
{
    epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
}

EventLoop::Timer EventLoop::after(Clock::duration delay, std::function<void()> callback)
{
    const Timer timer{m_now + delay, m_nextTimer++};
    m_timers.emplace(std::pair(timer.at, timer.id), std::move(callback));
    return timer;
}

void EventLoop::cancel(Timer &timer)
{
    if (timer)
        m_timers.erase(std::pair(timer.at, timer.id));
    timer = Timer();
}

void EventLoop::disposeLater(std::unique_ptr<Disposable> object)
{
    m_disposed.push_back(std::move(object));
}

void EventLoop::post(std::function<void()> work)
{
    {
        const std::lock_guard lock(m_postedMutex);
        m_posted.push_back(std::move(work));
    }
    wake();
}

void EventLoop::wake()
{
    const std::uint64_t one = 1;
    // A full counter already means "wake up".
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void EventLoop::quit()
{
    post([this] { m_quit = true; });
}

int EventLoop::timeoutMs() const
{
    if (m_timers.empty())
        return -1;
    const Clock::time_point next = m_timers.begin()->first.first;
    const Clock::time_point now = m_time.now();
    if (next <= now)
        return 0;
    if (m_time.isManual())
        return -1;
    // Rounded up, so a timer is never found early and polled for again.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count());
}

void EventLoop::runTimers()
{
    while (!m_timers.empty() && m_timers.begin()->first.first <= m_now) {
        auto first = m_timers.begin();
        std::function<void()> callback = std::move(first->second);
        m_timers.erase(first);
        callback();
    }
}

void EventLoop::runPosted()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &count, sizeof count);
    std::vector<std::function<void()>> work;
    {
        const std::lock_guard lock(m_postedMutex);
        work.swap(m_posted);
    }
    for (auto &item : work)
        item();
}

void EventLoop::turn(int timeoutMs)
{
    constexpr int kBatch = 256;
    epoll_event events[kBatch];
    int count = epoll_wait(m_epoll, events, kBatch, timeoutMs);
    // A signal cuts the wait short, a stop signal after a freeze of any length: what arrived
    // meanwhile is delivered before the timers are judged by the late clock.
    if (count < 0 && errno == EINTR)
        count = epoll_wait(m_epoll, events, kBatch, 0);
    if (count < 0 && errno != EINTR)
        throw std::runtime_error("epoll_wait failed");
    m_now = m_time.now();
    bool woken = false;
    for (int i = 0; i < count; ++i) {
        auto *watched = static_cast<Watched *>(events[i].data.ptr);
        if (watched == kWakeTag)
            woken = true;
        else
            watched->onEvents(events[i].events);
    }
    // Posted work may delete what this round's events still point at, so it waits for them.
    if (woken)
        runPosted();
    runTimers();
    m_disposed.clear();
}

void EventLoop::run()
{
    m_quit = false;
    while (!m_quit)
        turn(timeoutMs());
}

} // namespace corvane::tunnel
