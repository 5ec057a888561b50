#pragma once

#include "tunnel/engine/EventLoop.h"

#include <cstdint>
#include <string>

namespace corvane::tunnel {

// Payload bytes a tunnel carried, through the relay and straight to destinations apart: what
// the clients sent (up) and what they were sent (down), the proxies' own requests and
// replies left out.
struct TrafficTotals
{
    std::uint64_t relayUp = 0;
    std::uint64_t relayDown = 0;
    std::uint64_t directUp = 0;
    std::uint64_t directDown = 0;

    std::uint64_t up() const { return relayUp + directUp; }
    std::uint64_t down() const { return relayDown + directDown; }
    TrafficTotals &operator+=(const TrafficTotals &other)
    {
        relayUp += other.relayUp;
        relayDown += other.relayDown;
        directUp += other.directUp;
        directDown += other.directDown;
        return *this;
    }
};

// One open proxied connection whose destination is known.
struct ConnectionTraffic
{
    // As the client named it: a name stays a name.
    std::string destination;
    // The rule that decided, as RuleSet::Decision names it.
    std::string rule;
    bool relayed = false;
    std::uint64_t up = 0;
    std::uint64_t down = 0;
    EventLoop::Clock::duration age{};
};

} // namespace corvane::tunnel
