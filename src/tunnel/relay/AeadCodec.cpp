#include "tunnel/relay/AeadCodec.h"

#include "tunnel/crypto/KeyDerivation.h"

#include <algorithm>

namespace corvane::tunnel {

std::array<std::uint8_t, 32> AeadDecoder::subkey(ByteView masterKey, ByteView salt)
{
    std::array<std::uint8_t, 32> key{};
    KeyDerivation::hkdf(KeyDerivation::Hash::Sha1, masterKey, salt, bytesOf("ss-subkey"), key);
    return key;
}

AeadEncoder::AeadEncoder(ByteView masterKey)
{
    KeyDerivation::random(m_salt);
    m_chunks.emplace(AeadDecoder::subkey(masterKey, m_salt));
}

bool AeadEncoder::transform(ByteView plain, Bytes &out)
{
    if (!m_saltSent) {
        m_saltSent = true;
        append(out, m_salt);
    }
    return m_chunks->transform(plain, out);
}

AeadDecoder::AeadDecoder(ByteView masterKey)
{
    std::copy_n(masterKey.begin(), m_masterKey.size(), m_masterKey.begin());
}

bool AeadDecoder::transform(ByteView wire, Bytes &out)
{
    if (!m_chunks) {
        const std::size_t take = std::min(wire.size(), m_salt.size() - m_saltHave);
        std::copy_n(wire.begin(), take, m_salt.begin() + static_cast<long>(m_saltHave));
        m_saltHave += take;
        wire = wire.subspan(take);
        if (m_saltHave < m_salt.size())
            return true;
        m_chunks.emplace(subkey(m_masterKey, m_salt));
    }
    return m_chunks->transform(wire, out);
}

} // namespace corvane::tunnel
