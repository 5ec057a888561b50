#pragma once

#include "tunnel/crypto/ChaCha20Stream.h"
#include "tunnel/relay/RelayCodec.h"

#include <array>
#include <optional>

namespace corvane::tunnel {

// The relay protocol's stream form with ChaCha20: a random 8-byte IV ahead of the direction,
// then the keystream over everything.
class StreamEncoder final : public RelayCodec
{
public:
    explicit StreamEncoder(ByteView key);
    bool transform(ByteView plain, Bytes &out) override;
    std::optional<std::span<std::uint8_t>> transformInPlace(std::span<std::uint8_t> plain) override;

private:
    std::array<std::uint8_t, ChaCha20Stream::kNonceSize> m_iv{};
    ChaCha20Stream m_stream;
    bool m_ivSent = false;
};

class StreamDecoder final : public RelayCodec
{
public:
    explicit StreamDecoder(ByteView key);
    bool transform(ByteView wire, Bytes &out) override;
    std::optional<std::span<std::uint8_t>> transformInPlace(std::span<std::uint8_t> wire) override;

private:
    std::array<std::uint8_t, 32> m_key;
    std::array<std::uint8_t, ChaCha20Stream::kNonceSize> m_iv{};
    std::size_t m_ivHave = 0;
    std::optional<ChaCha20Stream> m_stream;
};

} // namespace corvane::tunnel
