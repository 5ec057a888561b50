#include "tunnel/crypto/PacketAead.h"

#include <array>
#include <stdexcept>

namespace corvane::tunnel {

namespace {
// Fetched once: an implicit fetch per packet costs more than sealing a small one.
const EVP_CIPHER *chacha20Poly1305()
{
    static EVP_CIPHER *const cipher = EVP_CIPHER_fetch(nullptr, "ChaCha20-Poly1305", nullptr);
    return cipher;
}
} // namespace

PacketAead::PacketAead(ByteView key, Role role)
    : m_context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free)
{
    if (!m_context || key.size() != kKeySize ||
        EVP_CipherInit_ex(m_context.get(), chacha20Poly1305(), nullptr, key.data(), nullptr,
                          role == Role::Seal ? 1 : 0) != 1)
        throw std::runtime_error("ChaCha20-Poly1305 is not available");
}

bool PacketAead::start(std::uint64_t number, ByteView header)
{
    std::array<std::uint8_t, 12> nonce{};
    for (std::size_t i = 0; i < 8; ++i)
        nonce[i] = static_cast<std::uint8_t>(number >> (8 * i));
    int written = 0;
    return EVP_CipherInit_ex(m_context.get(), nullptr, nullptr, nullptr, nonce.data(), -1) == 1 &&
           EVP_CipherUpdate(m_context.get(), nullptr, &written, header.data(),
                            static_cast<int>(header.size())) == 1;
}

void PacketAead::seal(std::uint64_t number, ByteView header, ByteView plain, Bytes &out)
{
    const std::size_t start = out.size();
    out.resize(start + plain.size() + kTagSize);
    int written = 0;
    this->start(number, header);
    EVP_CipherUpdate(m_context.get(), out.data() + start, &written, plain.data(),
                     static_cast<int>(plain.size()));
    int last = 0;
    EVP_CipherFinal_ex(m_context.get(), out.data() + start + written, &last);
    EVP_CIPHER_CTX_ctrl(m_context.get(), EVP_CTRL_AEAD_GET_TAG, kTagSize,
                        out.data() + start + plain.size());
}

bool PacketAead::open(std::uint64_t number, ByteView header, ByteView sealed, std::uint8_t *out)
{
    if (sealed.size() < kTagSize || !start(number, header))
        return false;
    const std::size_t length = sealed.size() - kTagSize;
    int written = 0;
    EVP_CipherUpdate(m_context.get(), out, &written, sealed.data(), static_cast<int>(length));
    // The tag is only read by OpenSSL; the control call takes a non-const pointer.
    EVP_CIPHER_CTX_ctrl(m_context.get(), EVP_CTRL_AEAD_SET_TAG, kTagSize,
                        const_cast<std::uint8_t *>(sealed.data() + length));
    int last = 0;
    return EVP_CipherFinal_ex(m_context.get(), out + written, &last) == 1;
}

} // namespace corvane::tunnel
