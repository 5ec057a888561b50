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
};

} // namespace corvane::tunnel
