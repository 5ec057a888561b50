#pragma once

#include <QString>
#include <QtGlobal>
#include <chrono>

namespace corvane {

// An exclusive lock on a lock file, held for the life of the object, that serialises a
// read-modify-write of the file beside it across processes. It is an flock(), so the kernel
// drops it however its holder ends: a crash never leaves the data locked.
class FileLock final
{
public:
    // Creates the lock file (mode 0600) if needed and waits at most `wait` for the lock: the
    // holders only ever keep it for one small file write.
    FileLock(const QString &path, std::chrono::milliseconds wait);
    ~FileLock();
    Q_DISABLE_COPY_MOVE(FileLock)

    bool isLocked() const { return m_fd >= 0; }
    // Why the lock was not taken, as a clause naming the lock file.
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    QString m_error;
};

} // namespace corvane
