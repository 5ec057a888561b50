#include "tunnel/crypto/KeyDerivation.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>
#include <stdexcept>

namespace corvane::tunnel {

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
    // Fetched once: each proxied connection of the AEAD form derives two keys.
    static EVP_KDF *const kdf = EVP_KDF_fetch(nullptr, "HKDF", nullptr);
    EVP_KDF_CTX *context = kdf ? EVP_KDF_CTX_new(kdf) : nullptr;
    char digest[] = "SHA1";
    char sha256[] = "SHA256";
    // The parameter constructors take non-const pointers but only read through them.
    auto *uSalt = const_cast<std::uint8_t *>(salt.data());
    auto *uIkm = const_cast<std::uint8_t *>(ikm.data());
    auto *uInfo = const_cast<std::uint8_t *>(info.data());
    // An empty salt is left out: RFC 5869 then uses a string of zeros, and OpenSSL refuses an
    // empty one.
    OSSL_PARAM parameters[5];
    OSSL_PARAM *next = parameters;
    *next++ = OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST,
                                               hash == Hash::Sha1 ? digest : sha256, 0);
    *next++ = OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, uIkm, ikm.size());
    if (!salt.empty())
        *next++ = OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, uSalt, salt.size());
    if (!info.empty())
        *next++ = OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, uInfo, info.size());
    *next = OSSL_PARAM_construct_end();
    const bool derived =
        context && EVP_KDF_derive(context, out.data(), out.size(), parameters) == 1;
    EVP_KDF_CTX_free(context);
    if (!derived)
        throw std::runtime_error("HKDF is not available");
}

void KeyDerivation::random(std::span<std::uint8_t> out)
{
    if (RAND_bytes(out.data(), static_cast<int>(out.size())) != 1)
        throw std::runtime_error("the random generator failed");
}

} // namespace corvane::tunnel
