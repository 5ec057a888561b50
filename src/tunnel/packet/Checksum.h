#pragma once

#include "tunnel/Bytes.h"

#include <cstdint>

namespace corvane::tunnel {

// The Internet checksum (RFC 1071): a ones' complement sum of 16-bit words, and its update in
// place when a few words of what it covers change (RFC 1624), so a rewritten address or port
// costs a few additions instead of a pass over the whole segment.
class Checksum final
{
public:
    // Adds `bytes` to the running sum as big-endian words; an odd length is padded with zero,
    // so only the last part of a sum may be odd.
    void add(ByteView bytes);
    void addWord(std::uint16_t word) { m_sum += word; }
    // The checksum field's value: the complement of the folded sum.
    std::uint16_t value() const;

    // The field `checksum` after the covered bytes `before` became `after` (equal, even
    // lengths): HC' = ~(~HC + ~m + m'), which never turns a correct sum into 0x0000 from
    // anything but an all-zero segment.
    static std::uint16_t adjusted(std::uint16_t checksum, ByteView before, ByteView after);

private:
    std::uint64_t m_sum = 0;
};

} // namespace corvane::tunnel
