#include "platform/settings/ReconnectMark.h"

#include "platform/files/PrivateFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace corvane {

namespace {
// When process `pid` started, from its stat line's 22nd field (clock ticks after boot) and the
// boot time in /proc/stat; invalid when there is no such process.
QDateTime startOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile system(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly) || !system.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    // The name in parentheses may hold spaces: the fields are counted after it.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const qint64 ticks = fields.value(19).toLongLong();
    for (const QByteArray &entry : system.readAll().split('\n')) {
        if (entry.startsWith("btime "))
            return QDateTime::fromSecsSinceEpoch(entry.mid(6).trimmed().toLongLong())
                .addMSecs(ticks * 1000 / sysconf(_SC_CLK_TCK));
    }
    return {};
}
} // namespace

ReconnectMark::ReconnectMark(QString filePath) : m_filePath(std::move(filePath)) {}

ReconnectMark::~ReconnectMark() = default;

QString ReconnectMark::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/corvane/reconnect.lock");
}

void ReconnectMark::hold(bool held)
{
    if (!held) {
        m_lock.reset();
        return;
    }
    if (m_lock)
        return;
    PrivateFile::makeFolder(QFileInfo(m_filePath).absolutePath());
    m_lock = std::make_unique<QLockFile>(m_filePath);
    // Only a dead holder makes the mark stale, however long a reconnect lasts.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0))
        m_lock.reset();
}

bool ReconnectMark::heldElsewhere() const
{
    if (m_lock)
        return false;
    // Only read: a probe that took the lock for a moment, as QLockFile's tryLock does, would
    // look like a holder to another probe at that moment.
    qint64 pid = 0;
    QString host;
    QString application;
    if (!QLockFile(m_filePath).getLockInfo(&pid, &host, &application) || pid <= 0 ||
        host != QSysInfo::machineHostName())
        return false;
    if (::kill(pid_t(pid), 0) != 0 && errno != EPERM)
        return false;
    // A holder that died may have left its number to a process started since.
    const QDateTime started = startOf(pid);
    return started.isValid() && started <= QFileInfo(m_filePath).lastModified().addSecs(1);
}

} // namespace corvane
