#include "tunnel/engine/EventLoop.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
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

// The wake-up descriptor's epoll entry carries this tag instead of a registration's entry.
void *const kWakeTag = nullptr;

std::uint32_t epollEvents(Interest interest)
{
    return (interest.readable ? EPOLLIN : 0u) | (interest.writable ? EPOLLOUT : 0u);
}
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
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.ptr = kWakeTag;
    if (m_epoll < 0 || m_wakeFd < 0 || epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeFd, &wake) != 0) {
        const int error = errno;
        if (m_wakeFd >= 0)
            ::close(m_wakeFd);
        if (m_epoll >= 0)
            ::close(m_epoll);
        throw std::runtime_error("cannot create the event loop's descriptors: " +
                                 TunnelError::fromErrno(error).description);
    }
}

EventLoop::~EventLoop()
{
    m_disposed.clear();
    m_retired.clear();
    ::close(m_wakeFd);
    ::close(m_epoll);
}

int EventLoop::control(int operation, const Registration::Entry &entry, Interest interest)
{
    epoll_event event{};
    event.events = epollEvents(interest);
    event.data.ptr = const_cast<Registration::Entry *>(&entry);
    return epoll_ctl(m_epoll, operation, entry.fd, &event) == 0 ? 0 : errno;
}

void EventLoop::retire(std::unique_ptr<Registration::Entry> entry)
{
    entry->live = false;
    m_retired.push_back(std::move(entry));
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

int EventLoop::wait(epoll_event *events, int size, int timeoutMs)
{
    if (!m_failure) {
        int count = epoll_wait(m_epoll, events, size, timeoutMs);
        // A signal cuts the wait short, a stop signal after a freeze of any length: what
        // arrived meanwhile is delivered before the timers are judged by the late clock.
        if (count < 0 && errno == EINTR)
            count = epoll_wait(m_epoll, events, size, 0);
        if (count >= 0 || errno == EINTR)
            return std::max(count, 0);
        const int error = errno;
        m_failure = TunnelError{"the event loop cannot wait on epoll: " +
                                    TunnelError::fromErrno(error).description,
                                error};
    }
    pollfd wake{m_wakeFd, POLLIN, 0};
    if (::poll(&wake, 1, timeoutMs) <= 0)
        return 0;
    events[0].events = EPOLLIN;
    events[0].data.ptr = kWakeTag;
    return 1;
}

void EventLoop::turn(int timeoutMs)
{
    constexpr int kBatch = 256;
    epoll_event events[kBatch];
    const int count = wait(events, kBatch, timeoutMs);
    m_now = m_time.now();
    bool woken = false;
    for (int i = 0; i < count; ++i) {
        const auto *entry = static_cast<Registration::Entry *>(events[i].data.ptr);
        if (entry == kWakeTag) {
            woken = true;
            continue;
        }
        // An entry whose registration went earlier in this round is still here, dead.
        if (!entry->live)
            continue;
        const std::uint32_t ready = events[i].events;
        entry->watched->onEvents({(ready & (EPOLLIN | EPOLLHUP | EPOLLERR)) != 0,
                                  (ready & EPOLLOUT) != 0, (ready & (EPOLLHUP | EPOLLERR)) != 0});
    }
    // Posted work may delete what this round's events still point at, so it waits for them.
    if (woken)
        runPosted();
    runTimers();
    m_disposed.clear();
    m_retired.clear();
}

void EventLoop::run()
{
    m_quit = false;
    while (!m_quit)
        turn(timeoutMs());
}

} // namespace corvane::tunnel
