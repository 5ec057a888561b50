#include "platform/files/PrivateFile.h"

#include "platform/files/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace corvane {

namespace {

PrivateFile::WriteCall g_writeCall = nullptr;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Every byte of `data` into `fd`, across short writes and interruptions.
std::optional<QString> writeAll(int fd, const QByteArray &data)
{
    const PrivateFile::WriteCall call = g_writeCall ? g_writeCall : &::write;
    const char *next = data.constData();
    size_t left = static_cast<size_t>(data.size());
    while (left > 0) {
        const ssize_t n = call(fd, next, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return systemError(errno);
        if (n == 0)
            return QStringLiteral("the file system took no more bytes");
        next += n;
        left -= static_cast<size_t>(n);
    }
    return std::nullopt;
}

// Makes a rename inside `folder` survive a crash. A file system that cannot sync a folder
// (EINVAL) keeps its renames anyway.
std::optional<QString> syncFolder(const QString &folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return systemError(errno);
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (synced != 0 && error != EINVAL)
        return systemError(error);
    return std::nullopt;
}

} // namespace

PrivateFile::WriteCall PrivateFile::setWriteCall(WriteCall call)
{
    return std::exchange(g_writeCall, call);
}

std::optional<QString> PrivateFile::write(const QString &path, const QByteArray &data)
{
    // Renaming over a link would replace the link, but a link found here is not ours to replace.
    if (std::optional<QString> refusal = RegularFile::refusalToReplace(path))
        return *refusal;
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    // mkostemp creates the file with mode 0600 before the first byte goes in.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return systemError(errno);
    std::optional<QString> error = writeAll(fd, data);
    if (!error && ::fsync(fd) != 0)
        error = systemError(errno);
    // Some file systems report a lost write only when the file is closed.
    if (::close(fd) != 0 && !error)
        error = systemError(errno);
    if (!error && ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0)
        error = systemError(errno);
    if (error) {
        ::unlink(temporary.constData());
        return error;
    }
    return syncFolder(QFileInfo(path).absolutePath());
}

std::optional<QString> PrivateFile::prepare(const QString &path)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(),
               O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        return error == ELOOP ? RegularFile::describeType(S_IFLNK) : systemError(error);
    }
    struct stat info
    {};
    std::optional<QString> problem;
    if (::fstat(fd, &info) != 0)
        problem = systemError(errno);
    else if (!S_ISREG(info.st_mode))
        problem = RegularFile::describeType(info.st_mode);
    else if ((info.st_mode & 0777) != 0600 && ::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
        problem = systemError(errno);
    ::close(fd);
    return problem;
}

bool PrivateFile::makeFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace corvane
