#pragma once

#include "tunnel/relay/DatagramCodec.h"

#include <array>

namespace corvane::tunnel {

// The AEAD relay form's datagrams (chacha20-ietf-poly1305): one UDP packet each,
// [32-byte random salt][ChaCha20-Poly1305 of (address form || payload), tag] under the subkey
// HKDF-SHA1(password key, salt, "ss-subkey") with the zero nonce; the fresh salt of every
// packet is what keeps key and nonce from ever meeting twice.
class AeadDatagram final : public DatagramCodec
{
public:
    explicit AeadDatagram(ByteView masterKey);
    bool seal(const TargetAddress &address, ByteView payload, Bytes &out) override;
    OpenedDatagram open(ByteView packet) override;

private:
    std::array<std::uint8_t, 32> m_masterKey{};
};

} // namespace corvane::tunnel
