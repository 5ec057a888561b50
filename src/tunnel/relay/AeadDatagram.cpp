#include "tunnel/relay/AeadDatagram.h"

#include "tunnel/crypto/KeyDerivation.h"

#include <algorithm>

namespace corvane::tunnel {

AeadDatagram::AeadDatagram(ByteView masterKey)
    : m_sealer(masterKey, CounterAead::Role::Seal), m_opener(masterKey, CounterAead::Role::Open)
{
    std::copy_n(masterKey.begin(), m_masterKey.size(), m_masterKey.begin());
}

bool AeadDatagram::seal(const TargetAddress &address, ByteView payload, Bytes &out)
{
    m_plain.clear();
    address.encode(m_plain);
    append(m_plain, payload);
    if (kSaltSize + m_plain.size() + CounterAead::kTagSize > Datagram::kMaxSize)
        return false;
    if (m_saltsUsed == kSaltsPerDraw) {
        KeyDerivation::random(m_salts);
        m_saltsUsed = 0;
    }
    const ByteView salt = ByteView(m_salts).subspan(kSaltSize * m_saltsUsed++, kSaltSize);
    append(out, salt);
    // A key's first seal uses the zero nonce.
    m_sealer.rekey(AeadDecoder::subkey(m_masterKey, salt));
    m_sealer.seal(m_plain, out);
    return true;
}

OpenedDatagram AeadDatagram::open(ByteView packet)
{
    if (packet.size() > Datagram::kMaxSize)
        return DatagramFault::TooLarge;
    if (packet.size() < kSaltSize + CounterAead::kTagSize)
        return DatagramFault::Malformed;
    const ByteView sealed = packet.subspan(kSaltSize);
    m_plain.resize(sealed.size() - CounterAead::kTagSize);
    m_opener.rekey(AeadDecoder::subkey(m_masterKey, packet.first(kSaltSize)));
    if (!m_opener.open(sealed, m_plain.data()))
        return DatagramFault::DoesNotOpen;
    return fromPlain(m_plain);
}

} // namespace corvane::tunnel
