#include "tunnel/crypto/KeyDerivation.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <optional>
#include <stdexcept>

namespace corvane::tunnel {

namespace {
// HMAC with one hash, its context kept by the thread: HKDF is a few HMACs over short inputs,
// and OpenSSL's own HKDF, setting its HMAC up afresh each time, takes about twice as long.
class Hmac final
{
public:
    Hmac(const char *digest, std::size_t size)
        : m_context(newContext(digest), &EVP_MAC_CTX_free), m_size(m_context ? size : 0)
    {}

    // 0 when OpenSSL lacks the hash.
    std::size_t size() const { return m_size; }

    // Writes size() bytes to `out`. Without a key, the last call's is used again: its inner and
    // outer hash states are kept, which spares two of the hash's blocks.
    void compute(std::optional<ByteView> key, std::initializer_list<ByteView> parts,
                 std::uint8_t *out)
    {
        std::size_t written = 0;
        bool done = EVP_MAC_init(m_context.get(), key ? key->data() : nullptr,
                                 key ? key->size() : 0, nullptr) == 1;
        for (const ByteView part : parts)
            done = done && EVP_MAC_update(m_context.get(), part.data(), part.size()) == 1;
        if (!done || EVP_MAC_final(m_context.get(), out, &written, m_size) != 1)
            throw std::runtime_error("HMAC failed");
    }

private:
    static EVP_MAC_CTX *newContext(const char *digest)
    {
        static EVP_MAC *const mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
        EVP_MAC_CTX *context = mac ? EVP_MAC_CTX_new(mac) : nullptr;
        // The parameter constructor takes a non-const pointer but only reads through it.
        const OSSL_PARAM parameters[] = {
            OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, const_cast<char *>(digest), 0),
            OSSL_PARAM_construct_end()};
        if (context && EVP_MAC_CTX_set_params(context, parameters) != 1) {
            EVP_MAC_CTX_free(context);
            return nullptr;
        }
        return context;
    }

    std::unique_ptr<EVP_MAC_CTX, decltype(&EVP_MAC_CTX_free)> m_context;
    std::size_t m_size;
};
} // namespace

std::array<std::uint8_t, 32> KeyDerivation::passwordKey(std::string_view password)
{
    std::array<std::uint8_t, 32> key{};
    // ChaCha20 only sets the key length (32); the derived IV is not asked for.
    EVP_BytesToKey(EVP_chacha20(), EVP_md5(), nullptr,
                   reinterpret_cast<const unsigned char *>(password.data()),
                   static_cast<int>(password.size()), 1, key.data(), nullptr);
    return key;
}

void KeyDerivation::hkdf(Hash hash, ByteView ikm, ByteView salt, ByteView info,
                         std::span<std::uint8_t> out)
{
    thread_local Hmac sha1("SHA1", 20);
    thread_local Hmac sha256("SHA256", 32);
    Hmac &hmac = hash == Hash::Sha1 ? sha1 : sha256;
    const std::size_t size = hmac.size();
    if (size == 0 || out.size() > 255 * size)
        throw std::runtime_error("HKDF is not available");
    // RFC 5869: an empty salt stands for a hash length of zeros.
    const std::array<std::uint8_t, EVP_MAX_MD_SIZE> zeros{};
    std::array<std::uint8_t, EVP_MAX_MD_SIZE> key{};
    hmac.compute(salt.empty() ? ByteView(zeros).first(size) : salt, {ikm}, key.data());
    const ByteView pseudorandomKey = ByteView(key).first(size);
    std::array<std::uint8_t, EVP_MAX_MD_SIZE> block{};
    ByteView previous;
    for (std::size_t at = 0; at < out.size(); at += size) {
        const std::uint8_t counter = static_cast<std::uint8_t>(at / size + 1);
        hmac.compute(at == 0 ? std::optional(pseudorandomKey) : std::nullopt,
                     {previous, info, ByteView(&counter, 1)}, block.data());
        std::copy_n(block.begin(), std::min(size, out.size() - at), out.begin() + at);
        previous = ByteView(block).first(size);
    }
    OPENSSL_cleanse(key.data(), key.size());
    OPENSSL_cleanse(block.data(), block.size());
}

void KeyDerivation::random(std::span<std::uint8_t> out)
{
    if (RAND_bytes(out.data(), static_cast<int>(out.size())) != 1)
        throw std::runtime_error("the random generator failed");
}

} // namespace corvane::tunnel
