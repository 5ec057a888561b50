#include "platform/resources/Localization.h"

#include "platform/resources/Resources.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <array>
#include <optional>

namespace corvane {

namespace {
using Language = Localization::Language;

std::array<std::optional<QJsonObject>, 2> &tables()
{
    static std::array<std::optional<QJsonObject>, 2> loaded;
    return loaded;
}

Language &processLanguage()
{
    static Language language = Language::chinese;
    return language;
}

const QJsonObject &loadedTable(Language language)
{
    std::optional<QJsonObject> &table = tables().at(static_cast<std::size_t>(language));
    if (!table) {
        const QString name = language == Language::english ? QStringLiteral("Localizable.en")
                                                           : QStringLiteral("Localizable");
        const auto bytes = Resources::data(name, QStringLiteral("json"));
        table = bytes ? QJsonDocument::fromJson(*bytes).object() : QJsonObject();
    }
    return *table;
}
} // namespace

QString Localization::string(const QString &key)
{
    return string(key, processLanguage());
}

QString Localization::string(const QString &key, Language language)
{
    const QJsonValue value = loadedTable(language).value(key);
    return value.isString() ? value.toString() : key;
}

void Localization::setLanguage(Language language)
{
    processLanguage() = language;
}

void Localization::reload()
{
    for (std::optional<QJsonObject> &table : tables())
        table.reset();
}

} // namespace corvane
