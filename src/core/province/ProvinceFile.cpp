#include "core/province/ProvinceFile.h"

#include "platform/log/Log.h"
#include "platform/resources/Resources.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

namespace corvane {

std::variant<QStringList, QString> ProvinceFile::parse(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return QStringLiteral("it is not UTF-8 text");
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("it is not JSON (%1)").arg(error.errorString());
    if (!document.isObject())
        return QStringLiteral("it is not a JSON object");
    const QJsonValue list = document.object().value(QLatin1StringView("city"));
    if (!list.isArray())
        return QStringLiteral("it has no \"city\" list");
    QStringList names;
    const QJsonArray array = list.toArray();
    names.reserve(array.size());
    for (const QJsonValue &name : array) {
        if (!name.isString())
            return QStringLiteral("its \"city\" list holds a member that is not text");
        names.append(name.toString());
    }
    if (names.isEmpty())
        return QStringLiteral("its \"city\" list is empty");
    return names;
}

std::optional<QStringList> ProvinceFile::load()
{
    const std::optional<QByteArray> bytes =
        Resources::data(QStringLiteral("city"), QStringLiteral("json"));
    if (!bytes) {
        Log::warning(QStringLiteral("No provinces to offer: the resource city.json is missing"));
        return std::nullopt;
    }
    auto parsed = parse(*bytes);
    if (auto *reason = std::get_if<QString>(&parsed)) {
        Log::warning(QStringLiteral("No provinces to offer: city.json is unusable, ") + *reason);
        return std::nullopt;
    }
    return std::get<QStringList>(std::move(parsed));
}

} // namespace corvane
