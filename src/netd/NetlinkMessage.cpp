#include "NetlinkMessage.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstring>

namespace corvane::netd {

namespace {

constexpr std::size_t aligned(std::size_t size)
{
    return (size + 3) & ~std::size_t{3};
}

} // namespace

NetlinkMessage::NetlinkMessage(std::uint16_t type, std::uint16_t flags)
    : m_bytes(sizeof(nlmsghdr)), m_type(type), m_flags(flags | NLM_F_REQUEST)
{}

NetlinkMessage NetlinkMessage::resend(std::span<const std::uint8_t> received, std::uint16_t type,
                                      std::uint16_t flags)
{
    NetlinkMessage message(type, flags);
    if (const auto payload = body(received))
        message.append(payload->data(), payload->size());
    return message;
}

void NetlinkMessage::append(const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    m_bytes.insert(m_bytes.end(), bytes, bytes + size);
    m_bytes.resize(aligned(m_bytes.size()));
}

void NetlinkMessage::attribute(std::uint16_t type, const void *data, std::size_t size)
{
    const rtattr head{static_cast<unsigned short>(sizeof(rtattr) + size), type};
    append(&head, sizeof head);
    append(data, size);
}

const std::vector<std::uint8_t> &NetlinkMessage::finish(std::uint32_t sequence)
{
    const nlmsghdr head{static_cast<std::uint32_t>(m_bytes.size()), m_type, m_flags, sequence, 0};
    std::memcpy(m_bytes.data(), &head, sizeof head);
    return m_bytes;
}

std::optional<std::span<const std::uint8_t>>
NetlinkMessage::body(std::span<const std::uint8_t> message)
{
    if (message.size() < sizeof(nlmsghdr))
        return std::nullopt;
    return message.subspan(aligned(sizeof(nlmsghdr)));
}

NetlinkMessage::Attributes NetlinkMessage::attributesOf(std::span<const std::uint8_t> message,
                                                        std::size_t headerSize)
{
    Attributes attributes;
    const auto payload = body(message);
    if (!payload || payload->size() < aligned(headerSize))
        return attributes;
    auto rest = payload->subspan(aligned(headerSize));
    while (rest.size() >= sizeof(rtattr)) {
        rtattr head;
        std::memcpy(&head, rest.data(), sizeof head);
        if (head.rta_len < sizeof head || head.rta_len > rest.size())
            break;
        attributes[head.rta_type & NLA_TYPE_MASK] =
            rest.subspan(sizeof head, head.rta_len - sizeof head);
        rest = rest.subspan(std::min(aligned(head.rta_len), rest.size()));
    }
    return attributes;
}

std::optional<std::uint32_t> NetlinkMessage::u32(const Attributes &attributes, std::uint16_t type)
{
    const auto found = attributes.find(type);
    if (found == attributes.end() || found->second.size() != sizeof(std::uint32_t))
        return std::nullopt;
    std::uint32_t value;
    std::memcpy(&value, found->second.data(), sizeof value);
    return value;
}

} // namespace corvane::netd
