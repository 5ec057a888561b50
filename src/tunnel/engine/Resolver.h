#pragma once

#include "tunnel/engine/EventLoop.h"
#include "tunnel/engine/SocketAddress.h"

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace corvane::tunnel {

// Looks up host names off the loop's thread (getaddrinfo blocks) and hands the answers back
// on it. A lookup still running when the resolver goes does not hold anything up: its thread
// finishes on its own and drops the answer.
class Resolver final
{
public:
    using Done =
        std::function<void(const std::vector<SocketAddress> &addresses, const std::string &error)>;

    explicit Resolver(EventLoop &loop);
    ~Resolver();
    Resolver(const Resolver &) = delete;
    Resolver &operator=(const Resolver &) = delete;

    // On the loop's thread; `done` runs there later unless cancelled. Returns the lookup's id.
    std::uint64_t resolve(const std::string &host, std::uint16_t port, Done done);
    void cancel(std::uint64_t id);

private:
    struct Shared;

    EventLoop &m_loop;
    std::shared_ptr<Shared> m_shared;
    std::unordered_map<std::uint64_t, Done> m_pending;
    std::uint64_t m_next = 1;
};

} // namespace corvane::tunnel
