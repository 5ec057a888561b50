#pragma once

#include "tunnel/TunnelError.h"

#include <chrono>
#include <optional>

namespace corvane::tunnel {

// The helper's end of the system service's marking socket: each socket handed over comes back
// marked to leave by the real route, not through the TUN device. One round trip on a local
// socket; used from one thread at a time.
class SocketProtector final
{
public:
    // Takes `end` over (a SOCK_SEQPACKET socket).
    explicit SocketProtector(int end, std::chrono::milliseconds patience = std::chrono::seconds(2));
    ~SocketProtector();
    SocketProtector(const SocketProtector &) = delete;
    SocketProtector &operator=(const SocketProtector &) = delete;

    std::optional<TunnelError> protect(int socket);

private:
    int m_end;
    std::chrono::milliseconds m_patience;
    // An answer that came too late would be taken for the next socket's: after one, none is
    // trusted.
    bool m_broken = false;
};

} // namespace corvane::tunnel
