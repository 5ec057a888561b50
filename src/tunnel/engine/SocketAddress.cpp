#include "tunnel/engine/SocketAddress.h"

#include <arpa/inet.h>
#include <cstring>

namespace corvane::tunnel {

namespace {
sockaddr_in &v4(SocketAddress &address)
{
    return *reinterpret_cast<sockaddr_in *>(&address.storage);
}
sockaddr_in6 &v6(SocketAddress &address)
{
    return *reinterpret_cast<sockaddr_in6 *>(&address.storage);
}
const sockaddr_in &v4(const SocketAddress &address)
{
    return *reinterpret_cast<const sockaddr_in *>(&address.storage);
}
const sockaddr_in6 &v6(const SocketAddress &address)
{
    return *reinterpret_cast<const sockaddr_in6 *>(&address.storage);
}
} // namespace

SocketAddress SocketAddress::loopback(bool ipv6, std::uint16_t port)
{
    SocketAddress address;
    if (ipv6) {
        v6(address).sin6_family = AF_INET6;
        v6(address).sin6_addr = in6addr_loopback;
        address.length = sizeof(sockaddr_in6);
    } else {
        v4(address).sin_family = AF_INET;
        v4(address).sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.length = sizeof(sockaddr_in);
    }
    address.setPort(port);
    return address;
}

std::optional<SocketAddress> SocketAddress::of(const TargetAddress &target)
{
    SocketAddress address;
    if (target.kind == TargetAddress::Kind::IPv4) {
        v4(address).sin_family = AF_INET;
        std::memcpy(&v4(address).sin_addr, target.ip.data(), 4);
        address.length = sizeof(sockaddr_in);
    } else if (target.kind == TargetAddress::Kind::IPv6) {
        v6(address).sin6_family = AF_INET6;
        std::memcpy(&v6(address).sin6_addr, target.ip.data(), 16);
        address.length = sizeof(sockaddr_in6);
    } else {
        return std::nullopt;
    }
    address.setPort(target.port);
    return address;
}

std::optional<SocketAddress> SocketAddress::parse(const std::string &host, std::uint16_t port)
{
    const std::optional<TargetAddress> target = TargetAddress::fromHost(host, port);
    return target ? of(*target) : std::nullopt;
}

SocketAddress SocketAddress::local(int fd)
{
    SocketAddress address;
    address.length = sizeof address.storage;
    getsockname(fd, address.raw(), &address.length);
    return address;
}

SocketAddress SocketAddress::peer(int fd)
{
    SocketAddress address;
    address.length = sizeof address.storage;
    getpeername(fd, address.raw(), &address.length);
    return address;
}

std::uint16_t SocketAddress::port() const
{
    return ntohs(family() == AF_INET6 ? v6(*this).sin6_port : v4(*this).sin_port);
}

void SocketAddress::setPort(std::uint16_t port)
{
    if (family() == AF_INET6)
        v6(*this).sin6_port = htons(port);
    else
        v4(*this).sin_port = htons(port);
}

std::string SocketAddress::host() const
{
    char text[INET6_ADDRSTRLEN] = {};
    if (family() == AF_INET6)
        inet_ntop(AF_INET6, &v6(*this).sin6_addr, text, sizeof text);
    else
        inet_ntop(AF_INET, &v4(*this).sin_addr, text, sizeof text);
    return text;
}

std::string SocketAddress::text() const
{
    return (family() == AF_INET6 ? '[' + host() + ']' : host()) + ':' + std::to_string(port());
}

bool SocketAddress::sameAs(const SocketAddress &other) const
{
    if (family() != other.family() || port() != other.port())
        return false;
    if (family() == AF_INET6)
        return std::memcmp(&v6(*this).sin6_addr, &v6(other).sin6_addr, sizeof(in6_addr)) == 0;
    return family() == AF_INET && v4(*this).sin_addr.s_addr == v4(other).sin_addr.s_addr;
}

} // namespace corvane::tunnel
