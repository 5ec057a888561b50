#pragma once

#include <cstddef>
#include <string>

namespace corvane::tunnel {

// The descriptors the tunnel lives on: two per proxied connection (the client's and the one
// onwards), the UDP sockets of the SOCKS5 associations (two each, and one per direct flow),
// and a reserve that proxied connections never take, for the relay's control connection, the
// status channel and its files, and the engine's own.
class DescriptorBudget final
{
public:
    static constexpr std::size_t kReserve = 256;

    // Raises the soft RLIMIT_NOFILE to what `connections` and `datagramSockets` need, as far
    // as the hard limit allows.
    static void raiseFor(std::size_t connections, std::size_t datagramSockets = 0);
    // How many of `cap` proxied connections fit under the soft limit with the reserve kept.
    static std::size_t connectionsWithin(std::size_t cap);
    // The soft limit, for the log line that says why fewer are served.
    static std::string describeLimit();
    // Whether a socket could not be made for want of descriptors or memory on this machine,
    // which says nothing about the peer it was meant for.
    static bool isOwnShortage(int error);
};

} // namespace corvane::tunnel
