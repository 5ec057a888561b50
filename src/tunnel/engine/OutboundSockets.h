#pragma once

#include "tunnel/TunnelError.h"
#include "tunnel/engine/SocketAddress.h"

#include <functional>
#include <optional>

namespace corvane::tunnel {

// What every socket this process opens towards the outside goes through before it connects or
// binds. In the system-wide mode the default route is the process's own TUN device, so each
// such socket must be marked to leave by the real route; that holds for the whole process, not
// for one tunnel, hence one hook for all of them. Loopback sockets are left alone: the local
// routing table always wins for them.
class OutboundSockets final
{
public:
    using Preparer = std::function<std::optional<TunnelError>(int fd)>;

    // Set before the engine thread starts and cleared after it ends: it is read unguarded.
    static void setPreparer(Preparer preparer);
    // An error when the socket must not be used (it could not be marked).
    static std::optional<TunnelError> prepare(int fd, const SocketAddress &peer);
};

} // namespace corvane::tunnel
