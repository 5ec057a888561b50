#pragma once

#include "platform/tunnel/TunnelError.h"
#include "platform/tunnel/TunnelProfile.h"

#include <QList>
#include <QString>
#include <chrono>
#include <functional>
#include <variant>

namespace corvane {

// What the store file keeps of one profile.
struct StoredProfile
{
    QString identifier;
    bool enabled = false;
    QString localizedDescription;
    std::optional<TunnelProtocol> protocol;

    friend bool operator==(const StoredProfile &, const StoredProfile &) = default;
};

// The JSON file holding every stored profile of the user.
class ProfileFile final
{
public:
    using Change = std::function<std::optional<TunnelError>(QList<StoredProfile> &profiles)>;

    // No store of ours is this large: a larger file is handled as a corrupt one.
    static constexpr qint64 kMaxSize = 16 * 1024 * 1024;

    explicit ProfileFile(QString path) : m_path(std::move(path)) {}

    QString path() const { return m_path; }
    // Beside the store; held while the store is read, changed and written back.
    QString lockPath() const { return m_path + QStringLiteral(".lock"); }
    // How long a change waits for another process's change to finish.
    void setLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }

    // A missing file is an empty store. A file that does not decode is logged and moved aside
    // (kept, mode 0600) so the next save cannot overwrite the user's only copy. Anything that
    // is not a regular file (a symbolic link, a folder, a FIFO) or cannot be read is an error
    // naming the path and the reason, and stays untouched.
    std::variant<QList<StoredProfile>, TunnelError> read() const;
    // Reads the store, lets `change` edit the list and writes it back, all under the lock, so
    // that two processes changing the store at once both see their change kept. Nothing is
    // written when reading fails or `change` refuses with an error.
    std::optional<TunnelError> modify(const Change &change) const;

    static QByteArray encode(const QList<StoredProfile> &profiles);
    // The profiles, or why the bytes are not a store.
    static std::variant<QList<StoredProfile>, QString> decode(const QByteArray &data);

private:
    std::optional<TunnelError> write(const QList<StoredProfile> &profiles) const;

    QString m_path;
    std::chrono::milliseconds m_lockWait{2000};
};

} // namespace corvane
