#pragma once

#include "tunnel/Bytes.h"

#include <array>
#include <optional>
#include <string>

namespace corvane::tunnel {

// A connection's destination in the SOCKS5 address form (RFC 1928) that the relay protocols
// share: a type byte (1 IPv4, 3 domain name, 4 IPv6), the address, the port in network order.
struct TargetAddress
{
    enum class Kind : std::uint8_t
    {
        IPv4 = 1,
        Domain = 3,
        IPv6 = 4
    };

    Kind kind = Kind::IPv4;
    // The name for a domain; the address bytes (4 or 16) for the others.
    std::string name;
    std::array<std::uint8_t, 16> ip{};
    std::uint16_t port = 0;

    struct Decoded;
    enum class Problem
    {
        Incomplete,
        UnknownType,
        BadName
    };

    void encode(Bytes &out) const;
    // The address at the start of `bytes` and how many bytes it took, or why there is none.
    static Decoded decode(ByteView bytes);
    // A destination given as text: an IPv4 or IPv6 address (without brackets) becomes one,
    // anything else a domain name; none for a name that is empty, longer than 255 bytes or holds
    // anything but printable ASCII.
    static std::optional<TargetAddress> fromHost(std::string_view host, std::uint16_t port);

    // "host:port", with an IPv6 address in brackets: for log lines.
    std::string text() const;
    std::string host() const;
};

struct TargetAddress::Decoded
{
    std::optional<TargetAddress> address;
    std::size_t consumed = 0;
    Problem problem = Problem::Incomplete;
};

} // namespace corvane::tunnel
