#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace corvane::netd {

// One rtnetlink request: the netlink header, a family header (ifinfomsg, rtmsg, fib_rule_hdr…)
// and typed attributes, each aligned as the kernel reads them.
class NetlinkMessage final
{
public:
    using Attributes = std::map<std::uint16_t, std::span<const std::uint8_t>>;

    NetlinkMessage(std::uint16_t type, std::uint16_t flags);
    // A message the kernel sent (a dumped rule or route) sent back under another type: deleting
    // exactly what was listed.
    static NetlinkMessage resend(std::span<const std::uint8_t> received, std::uint16_t type,
                                 std::uint16_t flags);

    template <typename Header> void header(const Header &value) { append(&value, sizeof value); }
    void attribute(std::uint16_t type, const void *data, std::size_t size);
    void attribute32(std::uint16_t type, std::uint32_t value)
    {
        attribute(type, &value, sizeof value);
    }

    // The bytes to send, with the length and the sequence number filled in.
    const std::vector<std::uint8_t> &finish(std::uint32_t sequence);

    // A received message's family header (of headerSize bytes) and its attributes.
    template <typename Header>
    static std::optional<Header> headerOf(std::span<const std::uint8_t> message);
    static Attributes attributesOf(std::span<const std::uint8_t> message, std::size_t headerSize);
    static std::optional<std::uint32_t> u32(const Attributes &attributes, std::uint16_t type);

private:
    void append(const void *data, std::size_t size);
    static std::optional<std::span<const std::uint8_t>> body(std::span<const std::uint8_t> message);

    std::vector<std::uint8_t> m_bytes;
    std::uint16_t m_type;
    std::uint16_t m_flags;
};

template <typename Header>
std::optional<Header> NetlinkMessage::headerOf(std::span<const std::uint8_t> message)
{
    const auto payload = body(message);
    if (!payload || payload->size() < sizeof(Header))
        return std::nullopt;
    Header header;
    std::copy_n(payload->data(), sizeof header, reinterpret_cast<std::uint8_t *>(&header));
    return header;
}

} // namespace corvane::netd
