#include "platform/settings/SettingsStore.h"

#include "platform/files/CorruptCopies.h"
#include "platform/files/PrivateFile.h"
#include "platform/files/RegularFile.h"
#include "platform/log/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>

#include <sys/stat.h>

namespace corvane {

namespace {

QString configFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

// Takes group and other permissions away from `path` if it is of the file type `type` and has
// any; a symbolic link is never followed.
void closeUp(const QString &path, mode_t type, mode_t wanted)
{
    struct stat info
    {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) != 0 || (info.st_mode & S_IFMT) != type ||
        (info.st_mode & 077) == 0)
        return;
    if (::chmod(name.constData(), wanted) == 0) {
        Log::warning(QStringLiteral("%1 was open to other users (mode %2); closed it up to %3")
                         .arg(path)
                         .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0'))
                         .arg(wanted, 4, 8, QLatin1Char('0')));
    }
}

} // namespace

SettingsStore::SettingsStore(QString filePath) : m_filePath(std::move(filePath))
{
    tightenPermissions();
}

QString SettingsStore::defaultFilePath()
{
    return configFolder() + QStringLiteral("/corvane/settings.json");
}

QString SettingsStore::legacyFilePath()
{
    return configFolder() + QStringLiteral("/Corvane/settings.json");
}

SettingsStore &SettingsStore::shared()
{
    static SettingsStore store = [] {
        moveLegacyFile(legacyFilePath(), defaultFilePath());
        // That folder is the application's own, so its mode is ours to close up as well.
        closeUp(QFileInfo(defaultFilePath()).absolutePath(), S_IFDIR, S_IRWXU);
        return SettingsStore(defaultFilePath());
    }();
    return store;
}

bool SettingsStore::moveLegacyFile(const QString &from, const QString &to)
{
    const QFileInfo source(from);
    if (!source.exists() || source.isSymLink() || !source.isFile() || QFileInfo(to).exists() ||
        QFileInfo(to).isSymLink())
        return false;
    const QString folder = QFileInfo(to).absolutePath();
    if (!PrivateFile::makeFolder(folder) || !QFile::rename(from, to)) {
        Log::warning(QStringLiteral("Cannot move the settings file %1 to %2").arg(from, to));
        return false;
    }
    QDir().rmdir(source.absolutePath());
    Log::info(QStringLiteral("Moved the settings file %1 to %2").arg(from, to));
    return true;
}

bool SettingsStore::setObject(const QJsonValue &value, const QString &key)
{
    std::optional<QJsonObject> object = load();
    if (!object)
        return false;
    object->insert(key, value);
    return write(*object);
}

bool SettingsStore::remove(const QString &key)
{
    std::optional<QJsonObject> object = load();
    if (!object)
        return false;
    if (!object->contains(key))
        return true;
    object->remove(key);
    return write(*object);
}

bool SettingsStore::write(const QJsonObject &object)
{
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!PrivateFile::makeFolder(folder)) {
        Log::warning(QStringLiteral("Cannot save the settings file %1: cannot create the folder %2")
                         .arg(m_filePath, folder));
        return false;
    }
    if (std::optional<QString> error =
            PrivateFile::write(m_filePath, QJsonDocument(object).toJson(QJsonDocument::Compact))) {
        Log::warning(
            QStringLiteral("Cannot save the settings file %1: %2").arg(m_filePath, *error));
        return false;
    }
    return true;
}

QJsonValue SettingsStore::object(const QString &key) const
{
    return load().value_or(QJsonObject()).value(key);
}

std::optional<QString> SettingsStore::string(const QString &key) const
{
    const QJsonValue value = object(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<QJsonObject> SettingsStore::decode(const QByteArray &data)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<QJsonObject> SettingsStore::load() const
{
    const RegularFile::Content content = RegularFile::read(m_filePath, kMaxFileSize);
    QString reason;
    switch (content.outcome) {
    case RegularFile::Content::Outcome::Missing:
        return QJsonObject();
    case RegularFile::Content::Outcome::Refused:
        Log::warning(
            QStringLiteral("Cannot read the settings file %1: %2").arg(m_filePath, content.reason));
        return std::nullopt;
    case RegularFile::Content::Outcome::TooLarge:
        reason = QStringLiteral("larger than %1 bytes").arg(kMaxFileSize);
        break;
    case RegularFile::Content::Outcome::Read:
        if (std::optional<QJsonObject> object = decode(content.data))
            return object;
        reason = QStringLiteral("not a JSON object");
        break;
    }
    const std::optional<QString> copy = CorruptCopies::moveAside(m_filePath);
    if (!copy) {
        Log::warning(QStringLiteral("The settings file %1 is corrupt (%2) and could not be moved "
                                    "aside")
                         .arg(m_filePath, reason));
        return std::nullopt;
    }
    Log::warning(QStringLiteral("The settings file %1 is corrupt (%2); moved it to %3")
                     .arg(m_filePath, reason, *copy));
    return QJsonObject();
}

void SettingsStore::tightenPermissions() const
{
    // A file made by hand or by an older build may be open to others.
    closeUp(m_filePath, S_IFREG, S_IRUSR | S_IWUSR);
}

} // namespace corvane
