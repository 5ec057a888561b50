#include "platform/settings/SettingsStore.h"

#include "platform/log/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace corvane {

namespace {
constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
// Larger files are not ours: reading them would only waste memory.
constexpr qint64 kMaxFileSize = 1 << 20;

QJsonObject readObject(const QString &path)
{
    QFile file(path);
    if (file.size() > kMaxFileSize || !file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}
} // namespace

SettingsStore::SettingsStore(QString filePath) : m_filePath(std::move(filePath))
{
    tightenPermissions();
}

QString SettingsStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Corvane/settings.json");
}

SettingsStore &SettingsStore::shared()
{
    static SettingsStore store(defaultFilePath());
    return store;
}

bool SettingsStore::setObject(const QJsonValue &value, const QString &key)
{
    QJsonObject object = readObject(m_filePath);
    object.insert(key, value);
    return write(object);
}

bool SettingsStore::remove(const QString &key)
{
    QJsonObject object = readObject(m_filePath);
    if (!object.contains(key))
        return true;
    object.remove(key);
    return write(object);
}

bool SettingsStore::write(const QJsonObject &object)
{
    const QString dir = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(dir)) {
        Log::write(QStringLiteral("设置保存失败：无法创建目录 %1").arg(dir));
        return false;
    }
    QSaveFile file(m_filePath);
    // The temporary file gets the mode before any byte is written, whatever the umask says.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(kOwnerOnly)) {
        Log::write(QStringLiteral("设置保存失败：%1").arg(file.errorString()));
        return false;
    }
    file.write(QJsonDocument(object).toJson(QJsonDocument::Compact));
    if (!file.commit()) {
        Log::write(QStringLiteral("设置保存失败：%1").arg(file.errorString()));
        return false;
    }
    return true;
}

QJsonValue SettingsStore::object(const QString &key) const
{
    return readObject(m_filePath).value(key);
}

std::optional<QString> SettingsStore::string(const QString &key) const
{
    const QJsonValue value = object(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

void SettingsStore::tightenPermissions() const
{
    QFile file(m_filePath);
    constexpr auto kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                             QFileDevice::ExeGroup | QFileDevice::ReadOther |
                             QFileDevice::WriteOther | QFileDevice::ExeOther;
    // A file made by hand or by an older build may be readable by others: close it up at start.
    if (file.exists() && (file.permissions() & kOthers))
        file.setPermissions(kOwnerOnly);
}

} // namespace corvane
