#include "platform/files/PrivateFile.h"

#include "platform/files/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

std::optional<QString> PrivateFile::write(const QString &path, const QByteArray &data)
{
    // QSaveFile would write to a link's target and give it this file's mode.
    if (std::optional<QString> refusal = RegularFile::refusalToReplace(path))
        return *refusal;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // Restrict the temporary file before the first byte goes in.
    if (::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0) {
        const QString error = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return error;
    }
    if (file.write(data) != data.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

std::optional<QString> PrivateFile::prepare(const QString &path)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(),
               O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        return error == ELOOP ? RegularFile::describeType(S_IFLNK)
                              : QString::fromLocal8Bit(std::strerror(error));
    }
    struct stat info
    {};
    std::optional<QString> problem;
    if (::fstat(fd, &info) != 0)
        problem = QString::fromLocal8Bit(std::strerror(errno));
    else if (!S_ISREG(info.st_mode))
        problem = RegularFile::describeType(info.st_mode);
    else if ((info.st_mode & 0777) != 0600 && ::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
        problem = QString::fromLocal8Bit(std::strerror(errno));
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
