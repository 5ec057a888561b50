#include "platform/autostart/AutostartEntry.h"

#include "platform/log/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace corvane {

AutostartEntry::AutostartEntry(QString filePath, QString program)
    : m_filePath(std::move(filePath)), m_program(std::move(program))
{}

QString AutostartEntry::defaultFilePath(const QString &desktopId)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + desktopId + QStringLiteral(".desktop");
}

bool AutostartEntry::isEnabled() const
{
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!file.atEnd()) {
        if (file.readLine().trimmed() == "Hidden=true")
            return false;
    }
    return true;
}

QString AutostartEntry::execValue(const QString &program)
{
    // Inside the double quotes of an Exec argument ", `, $ and \ take a backslash, the entry's
    // string escaping then doubles every backslash, and % would start a field code.
    QString quoted;
    for (const QChar c : program) {
        if (c == u'\\')
            quoted += QStringLiteral("\\\\\\\\");
        else if (c == u'"' || c == u'`' || c == u'$')
            quoted += QStringLiteral("\\\\") + c;
        else if (c == u'%')
            quoted += QStringLiteral("%%");
        else
            quoted += c;
    }
    return u'"' + quoted + u'"';
}

bool AutostartEntry::setEnabled(bool enabled, const QString &name, const QString &icon)
{
    if (!enabled) {
        if (QFile::exists(m_filePath) && !QFile::remove(m_filePath)) {
            Log::warning(QStringLiteral("无法删除自启动项 %1").arg(m_filePath));
            return false;
        }
        return true;
    }
    const QString dir = QFileInfo(m_filePath).absolutePath();
    QSaveFile file(m_filePath);
    if (!QDir().mkpath(dir) || !file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        Log::warning(QStringLiteral("无法写入自启动项 %1").arg(m_filePath));
        return false;
    }
    // Starting at login only opens the window; connecting stays the user's decision.
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=%1\n"
                                         "Exec=%2\n"
                                         "Icon=%3\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(name, execValue(m_program), icon);
    file.write(entry.toUtf8());
    if (!file.commit()) {
        Log::warning(QStringLiteral("无法写入自启动项 %1：%2").arg(m_filePath, file.errorString()));
        return false;
    }
    return true;
}

} // namespace corvane
