#pragma once

#include "tunnel/relay/DatagramCodec.h"

#include <array>

namespace corvane::tunnel {

// The stream relay form's datagrams (chacha20): one UDP packet each, [8-byte random IV]
// [ChaCha20 keystream of the password key and that IV XORed over (address form || payload)].
// Nothing tells a changed packet: it opens to other bytes, or to no address form.
class StreamDatagram final : public DatagramCodec
{
public:
    explicit StreamDatagram(ByteView key);
    bool seal(const TargetAddress &address, ByteView payload, Bytes &out) override;
    OpenedDatagram open(ByteView packet) override;

private:
    std::array<std::uint8_t, 32> m_key{};
};

} // namespace corvane::tunnel
