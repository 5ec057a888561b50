#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace corvane {

// Keeps secrets out of plain files: the desktop's Secret Service, or a double in tests. Every
// request is answered exactly once, on the main thread, possibly before the call returns.
class Keyring
{
public:
    struct Read
    {
        enum class Status
        {
            found,
            missing,
            failed,
        };
        Status status = Status::missing;
        QString value;
        // Why the keyring could not answer, for the log; never holds the secret.
        QString error;
    };
    using ReadCompletion = std::function<void(const Read &read)>;
    // No error when the keyring confirmed the write.
    using WriteCompletion = std::function<void(const std::optional<QString> &error)>;

    Keyring() = default;
    virtual ~Keyring() = default;
    Q_DISABLE_COPY_MOVE(Keyring)

    virtual void read(const QString &key, ReadCompletion completion) = 0;
    virtual void write(const QString &key, const QString &value, WriteCompletion completion) = 0;
    // Deletes the entry; no error once it is gone, also when there was none.
    virtual void remove(const QString &key, WriteCompletion completion) = 0;
};

} // namespace corvane
