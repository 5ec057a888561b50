#include "tunnel/engine/OutboundSockets.h"

#include <netinet/in.h>

namespace corvane::tunnel {

namespace {

OutboundSockets::Preparer &preparer()
{
    static OutboundSockets::Preparer instance;
    return instance;
}

bool isLoopback(const SocketAddress &address)
{
    if (address.family() == AF_INET) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(address.raw());
        return (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
    }
    if (address.family() == AF_INET6) {
        const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(address.raw());
        return IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr) != 0;
    }
    return false;
}

} // namespace

void OutboundSockets::setPreparer(Preparer hook)
{
    preparer() = std::move(hook);
}

std::optional<TunnelError> OutboundSockets::prepare(int fd, const SocketAddress &peer)
{
    if (!preparer() || isLoopback(peer))
        return std::nullopt;
    return preparer()(fd);
}

} // namespace corvane::tunnel
