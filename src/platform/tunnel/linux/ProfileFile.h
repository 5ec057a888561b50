#pragma once

#include "platform/tunnel/TunnelError.h"
#include "platform/tunnel/TunnelProfile.h"

#include <QList>
#include <QString>
#include <variant>

namespace corvane {

// What the store file keeps of one profile.
struct StoredProfile
{
    QString identifier;
    bool enabled = false;
    QString localizedDescription;
    std::optional<TunnelProtocol> protocol;
};

// The JSON file holding every stored profile of the user.
class ProfileFile final
{
public:
    explicit ProfileFile(QString path) : m_path(std::move(path)) {}

    QString path() const { return m_path; }
    // A missing file is an empty store. A file that does not decode is logged and moved aside
    // (kept, mode 0600) so the next save cannot overwrite the user's only copy; an unreadable
    // file is an error and stays untouched.
    std::variant<QList<StoredProfile>, TunnelError> read() const;
    std::optional<TunnelError> write(const QList<StoredProfile> &profiles) const;

private:
    std::optional<TunnelError> moveAside(const QString &reason) const;

    QString m_path;
};

} // namespace corvane
