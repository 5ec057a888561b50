#include "platform/tunnel/linux/ProfileFile.h"

#include "platform/files/CorruptCopies.h"
#include "platform/files/FileLock.h"
#include "platform/files/PrivateFile.h"
#include "platform/files/RegularFile.h"
#include "platform/log/Log.h"

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

QJsonObject encodeProfile(const StoredProfile &profile)
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

std::optional<StoredProfile> decodeProfile(const QJsonValue &value)
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

QByteArray ProfileFile::encode(const QList<StoredProfile> &profiles)
{
    QJsonArray list;
    for (const StoredProfile &profile : profiles)
        list.append(encodeProfile(profile));
    return QJsonDocument(QJsonObject{{kProfiles, list}}).toJson();
}

std::variant<QList<StoredProfile>, QString> ProfileFile::decode(const QByteArray &data)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return parseError.errorString();
    if (!document.isObject() || !document.object().value(kProfiles).isArray())
        return QStringLiteral("no list of profiles");
    QList<StoredProfile> profiles;
    for (const QJsonValue &entry : document.object().value(kProfiles).toArray()) {
        const std::optional<StoredProfile> profile = decodeProfile(entry);
        if (!profile)
            return QStringLiteral("a profile without identifier");
        profiles << *profile;
    }
    return profiles;
}

std::variant<QList<StoredProfile>, TunnelError> ProfileFile::read() const
{
    const RegularFile::Content content = RegularFile::read(m_path, kMaxSize);
    QString reason;
    switch (content.outcome) {
    case RegularFile::Content::Outcome::Missing:
        return QList<StoredProfile>{};
    case RegularFile::Content::Outcome::Refused:
        return TunnelError{QStringLiteral("Cannot read the tunnel profile store %1: %2")
                               .arg(m_path, content.reason)};
    case RegularFile::Content::Outcome::TooLarge:
        reason = QStringLiteral("larger than %1 bytes").arg(kMaxSize);
        break;
    case RegularFile::Content::Outcome::Read: {
        auto decoded = decode(content.data);
        if (auto *profiles = std::get_if<QList<StoredProfile>>(&decoded))
            return std::move(*profiles);
        reason = std::get<QString>(decoded);
        break;
    }
    }
    const std::optional<QString> copy = CorruptCopies::moveAside(m_path);
    if (!copy) {
        return TunnelError{QStringLiteral("The tunnel profile store %1 is corrupt (%2) and could "
                                          "not be moved aside")
                               .arg(m_path, reason)};
    }
    Log::warning(QStringLiteral("The tunnel profile store %1 is corrupt (%2); moved it to %3")
                     .arg(m_path, reason, *copy));
    return QList<StoredProfile>{};
}

std::optional<TunnelError> ProfileFile::modify(const Change &change) const
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!PrivateFile::makeFolder(folder))
        return TunnelError{QStringLiteral("Cannot create the folder %1").arg(folder)};
    const FileLock lock(lockPath(), m_lockWait);
    if (!lock.isLocked()) {
        return TunnelError{QStringLiteral("Cannot change the tunnel profile store %1: %2")
                               .arg(m_path, lock.error())};
    }
    auto result = read();
    if (auto *readError = std::get_if<TunnelError>(&result))
        return *readError;
    auto &profiles = std::get<QList<StoredProfile>>(result);
    if (std::optional<TunnelError> refused = change(profiles))
        return refused;
    return write(profiles);
}

std::optional<TunnelError> ProfileFile::write(const QList<StoredProfile> &profiles) const
{
    if (std::optional<QString> error = PrivateFile::write(m_path, encode(profiles))) {
        return TunnelError{
            QStringLiteral("Cannot save the tunnel profile store %1: %2").arg(m_path, *error)};
    }
    return std::nullopt;
}

} // namespace corvane
