#pragma once

#include "tunnel/engine/SocketAddress.h"

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace corvane::tunnel {

// An IPv4 or IPv6 address with a transport port, as the packet path reads and writes it: the
// address bytes in network order (four of the sixteen for IPv4), the port in host order.
struct IpEndpoint
{
    bool v6 = false;
    std::array<std::uint8_t, 16> address{};
    std::uint16_t port = 0;

    // None for anything but an IPv4 or IPv6 socket address.
    static std::optional<IpEndpoint> of(const SocketAddress &address);
    SocketAddress socketAddress() const;
    // The same address as a destination for the rules and the relays.
    TargetAddress target() const;

    std::size_t addressLength() const { return v6 ? 16 : 4; }
    bool sameAddress(const IpEndpoint &other) const
    {
        return v6 == other.v6 && address == other.address;
    }
    IpEndpoint withPort(std::uint16_t other) const
    {
        IpEndpoint copy = *this;
        copy.port = other;
        return copy;
    }
    std::string text() const { return socketAddress().text(); }

    auto operator<=>(const IpEndpoint &) const = default;
};

} // namespace corvane::tunnel
