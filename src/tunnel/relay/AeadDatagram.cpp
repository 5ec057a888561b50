#include "tunnel/relay/AeadDatagram.h"

#include "tunnel/crypto/CounterAead.h"
#include "tunnel/crypto/KeyDerivation.h"
#include "tunnel/relay/AeadCodec.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
constexpr std::size_t kSaltSize = AeadEncoder::kSaltSize;
} // namespace

AeadDatagram::AeadDatagram(ByteView masterKey)
{
    std::copy_n(masterKey.begin(), m_masterKey.size(), m_masterKey.begin());
}

bool AeadDatagram::seal(const TargetAddress &address, ByteView payload, Bytes &out)
{
    Bytes plain;
    address.encode(plain);
    append(plain, payload);
    if (kSaltSize + plain.size() + CounterAead::kTagSize > Datagram::kMaxSize)
        return false;
    std::array<std::uint8_t, kSaltSize> salt{};
    KeyDerivation::random(salt);
    append(out, salt);
    // A fresh object's first seal uses the zero nonce.
    CounterAead(AeadDecoder::subkey(m_masterKey, salt), CounterAead::Role::Seal).seal(plain, out);
    return true;
}

OpenedDatagram AeadDatagram::open(ByteView packet)
{
    if (packet.size() > Datagram::kMaxSize)
        return DatagramFault::TooLarge;
    if (packet.size() < kSaltSize + CounterAead::kTagSize)
        return DatagramFault::Malformed;
    const ByteView sealed = packet.subspan(kSaltSize);
    Bytes plain(sealed.size() - CounterAead::kTagSize);
    CounterAead aead(AeadDecoder::subkey(m_masterKey, packet.first(kSaltSize)),
                     CounterAead::Role::Open);
    if (!aead.open(sealed, plain.data()))
        return DatagramFault::DoesNotOpen;
    return fromPlain(plain);
}

} // namespace corvane::tunnel
