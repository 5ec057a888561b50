#include "tunnel/relay/StreamCodec.h"

#include "tunnel/crypto/KeyDerivation.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
std::array<std::uint8_t, ChaCha20Stream::kNonceSize> freshIv()
{
    std::array<std::uint8_t, ChaCha20Stream::kNonceSize> iv{};
    KeyDerivation::random(iv);
    return iv;
}
} // namespace

StreamEncoder::StreamEncoder(ByteView key) : m_iv(freshIv()), m_stream(key, m_iv) {}

bool StreamEncoder::transform(ByteView plain, Bytes &out)
{
    if (!m_ivSent) {
        m_ivSent = true;
        append(out, m_iv);
    }
    const std::size_t start = out.size();
    out.resize(start + plain.size());
    m_stream.apply(plain, out.data() + start);
    return true;
}

std::optional<std::span<std::uint8_t>>
StreamEncoder::transformInPlace(std::span<std::uint8_t> plain)
{
    if (!m_ivSent)
        return std::nullopt;
    m_stream.apply(plain, plain.data());
    return plain;
}

StreamDecoder::StreamDecoder(ByteView key)
{
    std::copy_n(key.begin(), m_key.size(), m_key.begin());
}

bool StreamDecoder::transform(ByteView wire, Bytes &out)
{
    if (!m_stream) {
        const std::size_t take = std::min(wire.size(), m_iv.size() - m_ivHave);
        std::copy_n(wire.begin(), take, m_iv.begin() + static_cast<long>(m_ivHave));
        m_ivHave += take;
        wire = wire.subspan(take);
        if (m_ivHave < m_iv.size())
            return true;
        m_stream.emplace(m_key, m_iv);
    }
    const std::size_t start = out.size();
    out.resize(start + wire.size());
    m_stream->apply(wire, out.data() + start);
    return true;
}

std::optional<std::span<std::uint8_t>> StreamDecoder::transformInPlace(std::span<std::uint8_t> wire)
{
    if (!m_stream)
        return std::nullopt;
    m_stream->apply(wire, wire.data());
    return wire;
}

} // namespace corvane::tunnel
