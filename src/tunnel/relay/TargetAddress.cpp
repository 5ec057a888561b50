#include "tunnel/relay/TargetAddress.h"

#include <algorithm>
#include <arpa/inet.h>

namespace corvane::tunnel {

namespace {
std::size_t ipSize(TargetAddress::Kind kind)
{
    return kind == TargetAddress::Kind::IPv4 ? 4 : 16;
}

// Host names are printable ASCII (international ones travel in their ASCII form); anything
// else would end up in resolver calls and log lines.
bool isPlainName(std::string_view name)
{
    return !name.empty() &&
           std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 0x7f; });
}
} // namespace

void TargetAddress::encode(Bytes &out) const
{
    out.push_back(static_cast<std::uint8_t>(kind));
    if (kind == Kind::Domain) {
        out.push_back(static_cast<std::uint8_t>(name.size()));
        append(out, bytesOf(name));
    } else {
        out.insert(out.end(), ip.begin(), ip.begin() + static_cast<long>(ipSize(kind)));
    }
    out.push_back(static_cast<std::uint8_t>(port >> 8));
    out.push_back(static_cast<std::uint8_t>(port & 0xff));
}

TargetAddress::Decoded TargetAddress::decode(ByteView bytes)
{
    Decoded decoded;
    if (bytes.empty())
        return decoded;
    TargetAddress address;
    std::size_t at = 1;
    switch (bytes[0]) {
    case static_cast<std::uint8_t>(Kind::IPv4):
    case static_cast<std::uint8_t>(Kind::IPv6): {
        address.kind = static_cast<Kind>(bytes[0]);
        const std::size_t size = ipSize(address.kind);
        if (bytes.size() < at + size)
            return decoded;
        std::copy_n(bytes.begin() + static_cast<long>(at), size, address.ip.begin());
        at += size;
        break;
    }
    case static_cast<std::uint8_t>(Kind::Domain): {
        address.kind = Kind::Domain;
        if (bytes.size() < 2)
            return decoded;
        const std::size_t length = bytes[1];
        if (bytes.size() < 2 + length)
            return decoded;
        address.name.assign(textOf(bytes.subspan(2, length)));
        if (!isPlainName(address.name)) {
            decoded.problem = Problem::BadName;
            return decoded;
        }
        at = 2 + length;
        break;
    }
    default:
        decoded.problem = Problem::UnknownType;
        return decoded;
    }
    if (bytes.size() < at + 2)
        return decoded;
    address.port = static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
    decoded.address = std::move(address);
    decoded.consumed = at + 2;
    return decoded;
}

std::optional<TargetAddress> TargetAddress::fromHost(std::string_view host, std::uint16_t port)
{
    TargetAddress address;
    address.port = port;
    const std::string text(host);
    if (inet_pton(AF_INET, text.c_str(), address.ip.data()) == 1) {
        address.kind = Kind::IPv4;
    } else if (inet_pton(AF_INET6, text.c_str(), address.ip.data()) == 1) {
        address.kind = Kind::IPv6;
    } else {
        if (host.size() > 255 || !isPlainName(host))
            return std::nullopt;
        address.kind = Kind::Domain;
        address.name = text;
    }
    return address;
}

std::string TargetAddress::host() const
{
    if (kind == Kind::Domain)
        return name;
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(kind == Kind::IPv4 ? AF_INET : AF_INET6, ip.data(), text, sizeof text);
    return text;
}

std::string TargetAddress::text() const
{
    const std::string printable = host();
    return (kind == Kind::IPv6 ? "[" + printable + "]" : printable) + ':' + std::to_string(port);
}

} // namespace corvane::tunnel
