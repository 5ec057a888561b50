#pragma once

#include <QString>
#include <optional>

namespace corvane {

// The lookup service's answer, `var returnCitySN = {"cip": "…", "cname": "…"};`, as the two
// texts the home screen shows.
struct PublicAddressAnswer
{
    static constexpr QLatin1StringView kPrefix{"var returnCitySN = "};

    // None when the text is not in that shape: another prefix, nothing between the prefix and
    // the closing character, or not a JSON object whose members are all text.
    static std::optional<PublicAddressAnswer> parse(const QString &text);

    // "当前IP：" and the address ("当前IP：" alone when the answer has none).
    QString addressText() const;
    // The place: "中国" for the service's "CHINA", empty when the answer names none.
    QString placeText() const;

    std::optional<QString> cip;
    std::optional<QString> cname;
};

} // namespace corvane
