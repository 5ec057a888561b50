#pragma once

#include "tunnel/relay/ChunkCodec.h"

#include <array>
#include <optional>

namespace corvane::tunnel {

// The relay protocol's AEAD form, chacha20-ietf-poly1305: a random 32-byte salt ahead of the
// direction, whose subkey is HKDF-SHA1(password key, salt, "ss-subkey"), then sealed chunks.
class AeadEncoder final : public RelayCodec
{
public:
    static constexpr std::size_t kSaltSize = 32;

    explicit AeadEncoder(ByteView masterKey);
    bool transform(ByteView plain, Bytes &out) override;

private:
    std::array<std::uint8_t, kSaltSize> m_salt{};
    std::optional<ChunkEncoder> m_chunks;
    bool m_saltSent = false;
};

class AeadDecoder final : public RelayCodec
{
public:
    explicit AeadDecoder(ByteView masterKey);
    bool transform(ByteView wire, Bytes &out) override;

    static std::array<std::uint8_t, 32> subkey(ByteView masterKey, ByteView salt);

private:
    std::array<std::uint8_t, 32> m_masterKey{};
    std::array<std::uint8_t, AeadEncoder::kSaltSize> m_salt{};
    std::size_t m_saltHave = 0;
    std::optional<ChunkDecoder> m_chunks;
};

} // namespace corvane::tunnel
