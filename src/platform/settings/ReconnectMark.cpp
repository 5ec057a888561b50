#include "platform/settings/ReconnectMark.h"

#include "platform/files/PrivateFile.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace corvane {

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
    QLockFile probe(m_filePath);
    probe.setStaleLockTime(0);
    if (probe.tryLock(0)) {
        probe.unlock();
        return false;
    }
    return probe.error() == QLockFile::LockFailedError;
}

} // namespace corvane
