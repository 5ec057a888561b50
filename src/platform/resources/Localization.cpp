#include "platform/resources/Localization.h"

#include "platform/resources/Resources.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <optional>

namespace corvane {

namespace {
std::optional<QJsonObject> &table()
{
    static std::optional<QJsonObject> loaded;
    return loaded;
}

const QJsonObject &loadedTable()
{
    if (!table()) {
        const auto bytes = Resources::data(QStringLiteral("Localizable"), QStringLiteral("json"));
        table() = bytes ? QJsonDocument::fromJson(*bytes).object() : QJsonObject();
    }
    return *table();
}
} // namespace

QString Localization::string(const QString &key)
{
    const QJsonValue value = loadedTable().value(key);
    return value.isString() ? value.toString() : key;
}

void Localization::reload()
{
    table().reset();
}

} // namespace corvane
