#include "platform/tunnel/linux/ProfileFile.h"

#include "platform/log/Log.h"
#include "platform/files/PrivateFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvane {

namespace {

const auto kProfiles = QStringLiteral("profiles");
const auto kIdentifier = QStringLiteral("identifier");
const auto kEnabled = QStringLiteral("enabled");
const auto kDescription = QStringLiteral("localizedDescription");
const auto kProtocol = QStringLiteral("protocol");
const auto kServerAddress = QStringLiteral("serverAddress");
const auto kProviderConfiguration = QStringLiteral("providerConfiguration");

QJsonObject encode(const StoredProfile &profile)
{
    QJsonObject object{{kIdentifier, profile.identifier},
                       {kEnabled, profile.enabled},
                       {kDescription, profile.localizedDescription}};
    if (profile.protocol) {
        object.insert(
            kProtocol,
            QJsonObject{{kServerAddress, profile.protocol->serverAddress},
                        {kProviderConfiguration,
                         QJsonObject::fromVariantMap(profile.protocol->providerConfiguration)}});
    }
    return object;
}

std::optional<StoredProfile> decode(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    const QString identifier = object.value(kIdentifier).toString();
    if (identifier.isEmpty())
        return std::nullopt;
    StoredProfile profile{identifier, object.value(kEnabled).toBool(),
                          object.value(kDescription).toString(), std::nullopt};
    if (object.value(kProtocol).isObject()) {
        const QJsonObject protocol = object.value(kProtocol).toObject();
        profile.protocol =
            TunnelProtocol{protocol.value(kServerAddress).toString(),
                           protocol.value(kProviderConfiguration).toObject().toVariantMap()};
    }
    return profile;
}

} // namespace

std::variant<QList<StoredProfile>, TunnelError> ProfileFile::read() const
{
    QFile file(m_path);
    if (!file.exists())
        return QList<StoredProfile>{};
    if (!file.open(QIODevice::ReadOnly)) {
        return TunnelError{QStringLiteral("Cannot read the tunnel profile store %1: %2")
                               .arg(m_path, file.errorString())};
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    file.close();
    QString reason;
    QList<StoredProfile> profiles;
    if (parseError.error != QJsonParseError::NoError) {
        reason = parseError.errorString();
    } else if (!document.isObject() || !document.object().value(kProfiles).isArray()) {
        reason = QStringLiteral("no list of profiles");
    } else {
        for (const QJsonValue &entry : document.object().value(kProfiles).toArray()) {
            const std::optional<StoredProfile> profile = decode(entry);
            if (!profile) {
                reason = QStringLiteral("a profile without identifier");
                break;
            }
            profiles << *profile;
        }
    }
    if (reason.isEmpty())
        return profiles;
    if (std::optional<TunnelError> error = moveAside(reason))
        return *error;
    return QList<StoredProfile>{};
}

std::optional<TunnelError> ProfileFile::write(const QList<StoredProfile> &profiles) const
{
    QJsonArray list;
    for (const StoredProfile &profile : profiles)
        list.append(encode(profile));
    const QByteArray data = QJsonDocument(QJsonObject{{kProfiles, list}}).toJson();
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!PrivateFile::makeFolder(folder))
        return TunnelError{QStringLiteral("Cannot create the folder %1").arg(folder)};
    if (std::optional<QString> error = PrivateFile::write(m_path, data)) {
        return TunnelError{
            QStringLiteral("Cannot save the tunnel profile store %1: %2").arg(m_path, *error)};
    }
    return std::nullopt;
}

std::optional<TunnelError> ProfileFile::moveAside(const QString &reason) const
{
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString copy = m_path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 1; QFile::exists(copy); ++n)
        copy = m_path + QStringLiteral(".corrupt-%1-%2").arg(stamp).arg(n);
    if (!QFile::rename(m_path, copy)) {
        return TunnelError{QStringLiteral("The tunnel profile store %1 is corrupt (%2) and could "
                                          "not be moved aside")
                               .arg(m_path, reason)};
    }
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    Log::write(QStringLiteral("The tunnel profile store %1 is corrupt (%2); moved it to %3")
                   .arg(m_path, reason, copy));
    return std::nullopt;
}

} // namespace corvane
