#include "tunnel/proxy/UdpSocketOwner.h"

#include <array>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

namespace corvane::tunnel {

namespace {
using Address = std::array<std::uint8_t, 16>;

// The kernel prints an address as 32-bit words in hex, each in the machine's own byte order:
// read back the same way, the words give the address's bytes as they lie in memory.
bool parseLocal(std::string_view field, bool v6, Address &address, std::uint16_t &port)
{
    const std::size_t words = v6 ? 4 : 1;
    if (field.size() != words * 8 + 5 || field[words * 8] != ':')
        return false;
    address.fill(0);
    for (std::size_t i = 0; i < words; ++i) {
        std::uint32_t word = 0;
        const char *begin = field.data() + i * 8;
        if (std::from_chars(begin, begin + 8, word, 16).ptr != begin + 8)
            return false;
        std::memcpy(address.data() + i * 4, &word, 4);
    }
    const char *begin = field.data() + words * 8 + 1;
    return std::from_chars(begin, begin + 4, port, 16).ptr == begin + 4;
}

// The sender's address as a socket of `v6`'s table would be bound to it: an IPv4 one as an
// IPv4-mapped address in udp6.
std::optional<Address> senderIn(const SocketAddress &sender, bool v6)
{
    Address address{};
    if (sender.family() == AF_INET6) {
        if (!v6)
            return std::nullopt;
        std::memcpy(address.data(),
                    &reinterpret_cast<const sockaddr_in6 *>(sender.raw())->sin6_addr, 16);
        return address;
    }
    const auto *ip = &reinterpret_cast<const sockaddr_in *>(sender.raw())->sin_addr;
    if (!v6) {
        std::memcpy(address.data(), ip, 4);
        return address;
    }
    address[10] = 0xff;
    address[11] = 0xff;
    std::memcpy(address.data() + 12, ip, 4);
    return address;
}

std::string readAll(const char *path)
{
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
} // namespace

std::optional<uid_t> UdpSocketOwner::uidIn(std::string_view table, bool v6,
                                           const SocketAddress &sender, uid_t self)
{
    const std::optional<Address> wanted = senderIn(sender, v6);
    if (!wanted)
        return std::nullopt;
    const Address wildcard{};
    std::optional<uid_t> owner;
    std::istringstream lines{std::string(table)};
    std::string line;
    // The first line names the columns.
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits;
        uid_t uid = 0;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid))
            continue;
        Address address{};
        std::uint16_t port = 0;
        if (!parseLocal(local, v6, address, port) || port != sender.port() ||
            (address != *wanted && address != wildcard))
            continue;
        if (uid != self)
            return uid;
        owner = uid;
    }
    return owner;
}

std::optional<uid_t> UdpSocketOwner::uidOf(const SocketAddress &sender, uid_t self)
{
    std::optional<uid_t> owner;
    for (const bool v6 : {false, true}) {
        const std::optional<uid_t> found =
            uidIn(readAll(v6 ? "/proc/net/udp6" : "/proc/net/udp"), v6, sender, self);
        if (found && *found != self)
            return found;
        owner = owner ? owner : found;
    }
    return owner;
}

} // namespace corvane::tunnel
