#pragma once

#include <chrono>
#include <cstddef>

namespace corvane::tunnel {

// The bounds the local proxies keep per connection and in all.
struct ProxyLimits
{
    std::size_t maxConnections = 4096;
    // From the accept to a complete request, and to a connected destination.
    std::chrono::seconds requestTimeout{15};
    // An established connection with no byte in either direction for this long is closed.
    std::chrono::seconds idleTimeout{300};
    // SOCKS5 UDP associations, and their flows (one per association and destination) in all.
    std::size_t maxAssociations = 1024;
    std::size_t maxDatagramFlows = 4096;
    // A flow with no datagram either way for this long ends; a DNS exchange is over sooner.
    std::chrono::seconds datagramIdle{60};
    std::chrono::seconds dnsDatagramIdle{30};
};

} // namespace corvane::tunnel
