#pragma once

#include "tunnel/crypto/CounterAead.h"
#include "tunnel/relay/AeadCodec.h"
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
    static constexpr std::size_t kSaltSize = AeadEncoder::kSaltSize;
    // Salts drawn from the random generator this many at a time: a draw costs more than
    // sealing a small datagram, and a salt is sent in the clear anyway.
    static constexpr std::size_t kSaltsPerDraw = 64;

    std::array<std::uint8_t, 32> m_masterKey{};
    std::array<std::uint8_t, kSaltSize * kSaltsPerDraw> m_salts{};
    std::size_t m_saltsUsed = kSaltsPerDraw;
    // Keyed anew for every packet.
    CounterAead m_sealer;
    CounterAead m_opener;
    Bytes m_plain;
};

} // namespace corvane::tunnel
