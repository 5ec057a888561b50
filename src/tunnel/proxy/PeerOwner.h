#pragma once

#include "tunnel/engine/SocketAddress.h"

#include <optional>
#include <sys/types.h>

namespace corvane::tunnel {

// Which user owns the other end of a loopback TCP connection, asked of the kernel through
// sock_diag (NETLINK_SOCK_DIAG): the socket whose source is our peer and whose destination is
// our own address.
class PeerOwner final
{
public:
    PeerOwner();
    ~PeerOwner();
    PeerOwner(const PeerOwner &) = delete;
    PeerOwner &operator=(const PeerOwner &) = delete;

    // The uid, or none when the kernel does not know the socket (it went away) or cannot be
    // asked.
    std::optional<uid_t> uidOf(const SocketAddress &peer, const SocketAddress &local);

private:
    int m_netlink;
    unsigned m_sequence = 0;
};

} // namespace corvane::tunnel
