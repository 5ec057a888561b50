#include "tunnel/packet/IpEndpoint.h"

#include <cstring>

namespace corvane::tunnel {

std::optional<IpEndpoint> IpEndpoint::of(const SocketAddress &address)
{
    IpEndpoint endpoint;
    if (address.family() == AF_INET) {
        const auto &in = *reinterpret_cast<const sockaddr_in *>(&address.storage);
        std::memcpy(endpoint.address.data(), &in.sin_addr, 4);
    } else if (address.family() == AF_INET6) {
        const auto &in = *reinterpret_cast<const sockaddr_in6 *>(&address.storage);
        std::memcpy(endpoint.address.data(), &in.sin6_addr, 16);
        endpoint.v6 = true;
    } else {
        return std::nullopt;
    }
    endpoint.port = address.port();
    return endpoint;
}

SocketAddress IpEndpoint::socketAddress() const
{
    SocketAddress socket;
    if (v6) {
        auto &in = *reinterpret_cast<sockaddr_in6 *>(&socket.storage);
        in.sin6_family = AF_INET6;
        std::memcpy(&in.sin6_addr, address.data(), 16);
        socket.length = sizeof in;
    } else {
        auto &in = *reinterpret_cast<sockaddr_in *>(&socket.storage);
        in.sin_family = AF_INET;
        std::memcpy(&in.sin_addr, address.data(), 4);
        socket.length = sizeof in;
    }
    socket.setPort(port);
    return socket;
}

TargetAddress IpEndpoint::target() const
{
    TargetAddress target;
    target.kind = v6 ? TargetAddress::Kind::IPv6 : TargetAddress::Kind::IPv4;
    target.ip = address;
    target.port = port;
    return target;
}

} // namespace corvane::tunnel
