#include "platform/tunnel/linux/HelperProcesses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

QByteArray readProc(qint64 pid, const char *entry)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1StringView(entry)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ownedByUs(qint64 pid)
{
    struct stat info
    {};
    const QByteArray path = "/proc/" + QByteArray::number(pid);
    return ::stat(path.constData(), &info) == 0 && info.st_uid == ::geteuid();
}

// The argument after "--channel", as the window starts every helper.
QString channelOf(qint64 pid)
{
    const QList<QByteArray> arguments = readProc(pid, "cmdline").split('\0');
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == "--channel")
            return QFile::decodeName(arguments.at(i + 1));
    }
    return {};
}

} // namespace

bool HelperProcesses::isAlive(qint64 pid)
{
    // Field 3 of /proc/PID/stat, after the parenthesised name (which may itself hold ") ").
    const QByteArray line = readProc(pid, "stat");
    const qsizetype end = line.lastIndexOf(')');
    if (end < 0 || end + 2 >= line.size())
        return false;
    const char state = line.at(end + 2);
    return state != 'Z' && state != 'X';
}

QList<HelperProcesses::Helper> HelperProcesses::running(const QString &runtimeDir)
{
    QList<Helper> helpers;
    const QString folder = QDir::cleanPath(runtimeDir);
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid == ::getpid() || !ownedByUs(pid))
            continue;
        const QString base = channelOf(pid);
        if (base.isEmpty() || QFileInfo(QDir::cleanPath(base)).path() != folder || !isAlive(pid))
            continue;
        helpers << Helper{pid, QDir::cleanPath(base)};
    }
    return helpers;
}

bool HelperProcesses::isHelperOf(qint64 pid, const QString &channelBase)
{
    return pid > 0 && ownedByUs(pid) &&
           QDir::cleanPath(channelOf(pid)) == QDir::cleanPath(channelBase) && isAlive(pid);
}

bool HelperProcesses::signal(qint64 pid, const QString &channelBase, int signalNumber)
{
    return isHelperOf(pid, channelBase) && ::kill(static_cast<pid_t>(pid), signalNumber) == 0;
}

} // namespace corvane
