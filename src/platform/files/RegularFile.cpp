#include "platform/files/RegularFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

QString systemError(const char *what, int error)
{
    return QStringLiteral("cannot %1 it: %2")
        .arg(QLatin1StringView(what), QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

QString RegularFile::describeType(unsigned mode)
{
    switch (mode & S_IFMT) {
    case S_IFLNK:
        return QStringLiteral("it is a symbolic link");
    case S_IFDIR:
        return QStringLiteral("it is a folder");
    case S_IFIFO:
        return QStringLiteral("it is a FIFO");
    case S_IFSOCK:
        return QStringLiteral("it is a socket");
    case S_IFCHR:
    case S_IFBLK:
        return QStringLiteral("it is a device");
    default:
        return QStringLiteral("it is not a regular file");
    }
}

RegularFile::Content RegularFile::read(const QString &path, qint64 maxSize)
{
    Content content;
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return content;
        content.outcome = Content::Outcome::Refused;
        content.reason = error == ELOOP ? describeType(S_IFLNK) : systemError("open", error);
        return content;
    }
    struct stat info
    {};
    if (::fstat(fd, &info) != 0) {
        content.outcome = Content::Outcome::Refused;
        content.reason = systemError("examine", errno);
    } else if (!S_ISREG(info.st_mode)) {
        content.outcome = Content::Outcome::Refused;
        content.reason = describeType(info.st_mode);
    } else if (info.st_size > maxSize) {
        content.outcome = Content::Outcome::TooLarge;
    } else {
        content.outcome = Content::Outcome::Read;
        content.data.reserve(qsizetype(info.st_size));
        // Read until the end rather than trusting fstat(): the file may grow meanwhile.
        char chunk[16384];
        for (;;) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                content.outcome = Content::Outcome::Refused;
                content.reason = systemError("read", errno);
                break;
            }
            if (n == 0)
                break;
            if (content.data.size() + n > maxSize) {
                content.outcome = Content::Outcome::TooLarge;
                break;
            }
            content.data.append(chunk, n);
        }
        if (content.outcome != Content::Outcome::Read)
            content.data.clear();
    }
    ::close(fd);
    return content;
}

std::optional<QString> RegularFile::refusalToReplace(const QString &path)
{
    struct stat info
    {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        return systemError("examine", errno);
    }
    if (S_ISREG(info.st_mode))
        return std::nullopt;
    return describeType(info.st_mode);
}

} // namespace corvane
