#include "tunnel/packet/Checksum.h"

namespace corvane::tunnel {

namespace {
std::uint16_t fold(std::uint64_t sum)
{
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(sum);
}

std::uint16_t wordAt(ByteView bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}
} // namespace

void Checksum::add(ByteView bytes)
{
    const std::size_t even = bytes.size() & ~std::size_t(1);
    for (std::size_t at = 0; at < even; at += 2)
        m_sum += wordAt(bytes, at);
    if (even != bytes.size())
        m_sum += std::uint32_t(bytes.back()) << 8;
}

std::uint16_t Checksum::value() const
{
    return static_cast<std::uint16_t>(~fold(m_sum));
}

std::uint16_t Checksum::adjusted(std::uint16_t checksum, ByteView before, ByteView after)
{
    std::uint64_t sum = static_cast<std::uint16_t>(~checksum);
    for (std::size_t at = 0; at + 1 < before.size(); at += 2)
        sum += static_cast<std::uint16_t>(~wordAt(before, at)) + wordAt(after, at);
    return static_cast<std::uint16_t>(~fold(sum));
}

} // namespace corvane::tunnel
