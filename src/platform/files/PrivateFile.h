#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>

namespace corvane {

// Files that hold the password or the authentication string: readable by the user only, and
// replaced in one step so that a crash never leaves half a file behind. Only a regular file is
// ever replaced: a symbolic link (or a FIFO, a folder...) found at the path is refused, never
// written through.
class PrivateFile final
{
public:
    // write(2), or what a test puts in its place to make writes come up short or fail.
    using WriteCall = ssize_t (*)(int fd, const void *data, size_t size);

    // Writes `data` to `path` atomically with mode 0600; the error text on failure. The new
    // content goes to a file of its own beside `path`, is checked through to the disk (every
    // write, fsync, close) and only then renamed over `path`, whose folder is synced too: a
    // failure at any step leaves the old file as it was.
    static std::optional<QString> write(const QString &path, const QByteArray &data);
    // Puts `call` in place of write(2) for every later write(); null restores write(2). Returns
    // the call it replaced.
    static WriteCall setWriteCall(WriteCall call);
    // Creates an empty `path` with mode 0600 unless it exists, and closes up the mode of one
    // that does: for a file that others append to, such as a log.
    static std::optional<QString> prepare(const QString &path);
    // Creates `path` and its missing parents; the last folder gets mode 0700.
    static bool makeFolder(const QString &path);
};

} // namespace corvane
