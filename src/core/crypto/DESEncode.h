#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace corvane {

// The password encoding the service expects: lowercase hex of DES-ECB with PKCS#7 padding.
class DESEncode final
{
public:
    DESEncode() = delete;

    // The key shared with the service.
    static constexpr auto kKey = "Cv8#nq2L";
    // The cipher text must fit this many bytes, so plain texts of 1024 UTF-8 bytes or more
    // yield nothing.
    static constexpr int kOutputLimit = 1024;

    // Nothing when the key is shorter than 8 bytes, the text is too long, or DES is not
    // available in this OpenSSL (the reason is logged once).
    static std::optional<QString> encryptUseDES(const QString &plainText, const QString &key);
    // The cipher text itself, for byte keys and inputs; the same limits apply.
    static std::optional<QByteArray> encryptBytes(const QByteArray &input, const QByteArray &key);
    // The service's side: the text behind a hex cipher text of encryptUseDES, or nothing when
    // it is not hex, not whole blocks, not padded as encryptUseDES pads (a wrong key) or not
    // UTF-8. The demo service reads passwords with it.
    static std::optional<QString> decryptUseDES(const QString &hexText, const QString &key);
    static QString parseByte2HexString(const unsigned char *bytes, std::int32_t count);
};

} // namespace corvane
