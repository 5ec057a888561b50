#include "tunnel/engine/Resolver.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <netdb.h>
#include <thread>

namespace corvane::tunnel {

struct Resolver::Shared
{
    struct Job
    {
        std::uint64_t id;
        std::string host;
        std::uint16_t port;
    };

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    // Null once the resolver is gone.
    EventLoop *loop = nullptr;
    Resolver *owner = nullptr;
    bool running = false;

    static void work(const std::shared_ptr<Shared> &shared);
};

namespace {
std::pair<std::vector<SocketAddress>, std::string> lookUp(const std::string &host,
                                                          std::uint16_t port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo *found = nullptr;
    const int status = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (status != 0)
        return {{}, gai_strerror(status)};
    std::vector<SocketAddress> addresses;
    for (const addrinfo *entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6)
            continue;
        SocketAddress address;
        std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
        address.length = entry->ai_addrlen;
        address.setPort(port);
        addresses.push_back(address);
    }
    freeaddrinfo(found);
    if (addresses.empty())
        return {{}, "no address"};
    return {addresses, {}};
}
} // namespace

void Resolver::Shared::work(const std::shared_ptr<Shared> &shared)
{
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->wake.wait(lock, [&] { return !shared->jobs.empty() || !shared->loop; });
        if (!shared->loop)
            return;
        const Job job = shared->jobs.front();
        shared->jobs.pop_front();
        lock.unlock();
        auto answer = lookUp(job.host, job.port);
        lock.lock();
        if (!shared->loop)
            return;
        shared->loop->post([shared, id = job.id, answer = std::move(answer)] {
            // Runs on the loop's thread, where the resolver is destroyed too.
            Resolver *owner = shared->owner;
            if (!owner)
                return;
            const auto pending = owner->m_pending.find(id);
            if (pending == owner->m_pending.end())
                return;
            const Done done = std::move(pending->second);
            owner->m_pending.erase(pending);
            done(answer.first, answer.second);
        });
    }
}

Resolver::Resolver(EventLoop &loop) : m_loop(loop), m_shared(std::make_shared<Shared>())
{
    m_shared->loop = &m_loop;
    m_shared->owner = this;
}

Resolver::~Resolver()
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->loop = nullptr;
    m_shared->owner = nullptr;
    m_shared->wake.notify_all();
}

std::uint64_t Resolver::resolve(const std::string &host, std::uint16_t port, Done done)
{
    const std::uint64_t id = m_next++;
    m_pending.emplace(id, std::move(done));
    const std::lock_guard lock(m_shared->mutex);
    m_shared->jobs.push_back({id, host, port});
    if (!m_shared->running) {
        m_shared->running = true;
        std::thread(&Shared::work, m_shared).detach();
    }
    m_shared->wake.notify_one();
    return id;
}

void Resolver::cancel(std::uint64_t id)
{
    m_pending.erase(id);
}

} // namespace corvane::tunnel
