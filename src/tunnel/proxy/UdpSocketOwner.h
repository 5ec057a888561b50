#pragma once

#include "tunnel/engine/SocketAddress.h"

#include <optional>
#include <string_view>
#include <sys/types.h>

namespace corvane::tunnel {

// Which user owns the UDP socket a loopback datagram came from, as /proc/net/udp and udp6
// list the sockets of this network namespace: every socket bound to the sender's port, on its
// address or on the wildcard (an IPv4 sender may use a dual-stack IPv6 socket). Sockets that
// share a port with SO_REUSEADDR may belong to several users, and the datagram to any of them.
class UdpSocketOwner final
{
public:
    UdpSocketOwner() = delete;

    // `self` when every such socket is `self`'s; another owner when one is not; none when the
    // kernel lists none (the socket went away).
    static std::optional<uid_t> uidOf(const SocketAddress &sender, uid_t self);
    // One table's verdict, for the tests: `table` as the kernel prints it, `v6` for udp6.
    static std::optional<uid_t> uidIn(std::string_view table, bool v6, const SocketAddress &sender,
                                      uid_t self);
};

} // namespace corvane::tunnel
