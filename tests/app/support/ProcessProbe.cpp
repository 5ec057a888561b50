#include "ProcessProbe.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace probe {

bool useFreeProxyPorts(const QString &configHome)
{
    QFile settings(configHome + QStringLiteral("/corvane/settings.json"));
    return QDir().mkpath(configHome + QStringLiteral("/corvane")) &&
           settings.open(QIODevice::WriteOnly) &&
           settings.write(R"({"socksPort": 0, "httpProxyPort": 0})") > 0;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int modeOf(const QString &path)
{
    struct stat info
    {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

QList<QByteArray> statFields(qint64 pid)
{
    const QByteArray line = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype end = line.lastIndexOf(')');
    return end < 0 ? QList<QByteArray>{} : line.mid(end + 2).split(' ');
}

QList<qint64> liveHelpers(const QString &runtimeDir)
{
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        const QByteArray cmdline = readAll(QStringLiteral("/proc/%1/cmdline").arg(pid));
        const QList<QByteArray> fields = statFields(pid);
        if (cmdline.contains(QFile::encodeName(runtimeDir)) && !fields.isEmpty() &&
            fields.first() != "Z")
            pids << pid;
    }
    return pids;
}

} // namespace probe
