#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace corvane {

// Files that hold the password or the authentication string: readable by the user only, and
// replaced in one step so that a crash never leaves half a file behind. Only a regular file is
// ever replaced: a symbolic link (or a FIFO, a folder...) found at the path is refused, never
// written through.
class PrivateFile final
{
public:
    // Writes `data` to `path` atomically with mode 0600; the error text on failure.
    static std::optional<QString> write(const QString &path, const QByteArray &data);
    // Creates an empty `path` with mode 0600 unless it exists, and closes up the mode of one
    // that does: for a file that others append to, such as a log.
    static std::optional<QString> prepare(const QString &path);
    // Creates `path` and its missing parents; the last folder gets mode 0700.
    static bool makeFolder(const QString &path);
};

} // namespace corvane
