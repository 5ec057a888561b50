#pragma once

#include "tunnel/relay/TargetAddress.h"

#include <netinet/in.h>
#include <optional>
#include <string>
#include <sys/socket.h>

namespace corvane::tunnel {

// An IPv4 or IPv6 socket address with its port.
struct SocketAddress
{
    sockaddr_storage storage{};
    socklen_t length = 0;

    static SocketAddress loopback(bool v6, std::uint16_t port);
    // The address of an IPv4 or IPv6 destination; none for a domain name.
    static std::optional<SocketAddress> of(const TargetAddress &target);
    // "a.b.c.d:port" or "[v6]:port" parsed; none for anything else.
    static std::optional<SocketAddress> parse(const std::string &host, std::uint16_t port);
    static SocketAddress local(int fd);
    static SocketAddress peer(int fd);

    int family() const { return storage.ss_family; }
    std::uint16_t port() const;
    void setPort(std::uint16_t port);
    const sockaddr *raw() const { return reinterpret_cast<const sockaddr *>(&storage); }
    sockaddr *raw() { return reinterpret_cast<sockaddr *>(&storage); }
    // The address without the port, for log lines and exit addresses.
    std::string host() const;
    std::string text() const;
    // Same family, address and port (a datagram's sender against the one expected).
    bool sameAs(const SocketAddress &other) const;
};

} // namespace corvane::tunnel
