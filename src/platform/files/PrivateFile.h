#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace corvane {

// Files that hold the authentication string: readable by the user only, and replaced in one
// step so that a crash never leaves half a file behind.
class PrivateFile final
{
public:
    // Writes `data` to `path` atomically with mode 0600; the error text on failure.
    static std::optional<QString> write(const QString &path, const QByteArray &data);
    // Creates `path` and its missing parents; the last folder gets mode 0700.
    static bool makeFolder(const QString &path);
};

} // namespace corvane
