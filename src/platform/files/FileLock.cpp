#include "platform/files/FileLock.h"

#include "platform/files/RegularFile.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace corvane {

namespace {
// Short against one file write, long enough not to spin.
constexpr std::chrono::milliseconds kRetryInterval{5};
} // namespace

FileLock::FileLock(const QString &path, std::chrono::milliseconds wait)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        m_error = error == ELOOP ? QStringLiteral("the lock file %1 is a symbolic link").arg(path)
                                 : QStringLiteral("cannot open the lock file %1: %2")
                                       .arg(path, QString::fromLocal8Bit(std::strerror(error)));
        return;
    }
    struct stat info
    {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_error = QStringLiteral("the lock file %1 is not a regular file").arg(path);
        ::close(fd);
        return;
    }
    QDeadlineTimer deadline(wait);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            return;
        }
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EWOULDBLOCK) {
            m_error = QStringLiteral("cannot lock %1: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(error)));
            break;
        }
        if (deadline.hasExpired()) {
            m_error = QStringLiteral("another process has held the lock file %1 for more than "
                                     "%2 ms")
                          .arg(path)
                          .arg(wait.count());
            break;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }
    ::close(fd);
}

FileLock::~FileLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace corvane
