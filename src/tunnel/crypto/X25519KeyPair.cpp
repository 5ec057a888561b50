#include "tunnel/crypto/X25519KeyPair.h"

#include <stdexcept>

namespace corvane::tunnel {

X25519KeyPair::X25519KeyPair()
    : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "X25519"), &EVP_PKEY_free)
{
    std::size_t length = m_public.size();
    if (!m_key || EVP_PKEY_get_raw_public_key(m_key.get(), m_public.data(), &length) != 1)
        throw std::runtime_error("X25519 is not available");
}

std::optional<X25519KeyPair::Key> X25519KeyPair::agree(ByteView peerPublic) const
{
    if (peerPublic.size() != kKeySize)
        return std::nullopt;
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> peer(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, peerPublic.data(), kKeySize),
        &EVP_PKEY_free);
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(
        EVP_PKEY_CTX_new(m_key.get(), nullptr), &EVP_PKEY_CTX_free);
    Key secret{};
    std::size_t length = secret.size();
    if (!peer || !context || EVP_PKEY_derive_init(context.get()) != 1 ||
        EVP_PKEY_derive_set_peer(context.get(), peer.get()) != 1 ||
        EVP_PKEY_derive(context.get(), secret.data(), &length) != 1 || length != kKeySize)
        return std::nullopt;
    return secret;
}

} // namespace corvane::tunnel
