#include "core/home/PublicAddressAnswer.h"

#include "platform/resources/Localization.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace corvane {

std::optional<PublicAddressAnswer> PublicAddressAnswer::parse(const QString &text)
{
    if (!text.startsWith(kPrefix))
        return std::nullopt;
    // A line break after the closing ";" would otherwise be taken for it.
    QStringView rest = QStringView(text).sliced(kPrefix.size());
    while (!rest.isEmpty() && rest.back().isSpace())
        rest.chop(1);
    if (rest.isEmpty())
        return std::nullopt;
    rest.chop(1);
    if (rest.isEmpty())
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(rest.toUtf8());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!it.value().isString())
            return std::nullopt;
    }
    PublicAddressAnswer answer;
    if (object.contains(QLatin1StringView("cip")))
        answer.cip = object.value(QLatin1StringView("cip")).toString();
    if (object.contains(QLatin1StringView("cname")))
        answer.cname = object.value(QLatin1StringView("cname")).toString();
    return answer;
}

QString PublicAddressAnswer::addressText() const
{
    return Localization::string(QStringLiteral("address.current")).arg(cip.value_or(QString()));
}

QString PublicAddressAnswer::placeText() const
{
    if (!cname)
        return {};
    return *cname == QLatin1StringView("CHINA") ? QStringLiteral("中国") : *cname;
}

} // namespace corvane
