#pragma once

#include <QJsonValue>
#include <QLocale>
#include <QString>
#include <optional>
#include <vector>

namespace corvane {

// Turns a service time stamp (seconds, or milliseconds that are cut down to seconds) into
// display text in the device's time zone.
class SCDateFormatterTransform final
{
public:
    explicit SCDateFormatterTransform(QString pattern);

    std::optional<QString> transformFromJSON(const QJsonValue &value) const;
    std::optional<QString> transformToJSON(const std::optional<QString> &value) const
    {
        return value;
    }

    // The shortest text that reads back as `number`, in plain decimal notation, with ".0" on
    // whole numbers (1700000000000 -> "1700000000000.0").
    static QString shortestText(double number);

    // Pattern fields this transform formats itself; QLocale's general formatter costs several
    // microseconds a date, which adds up over a thousand-order list.
    struct Field
    {
        QChar letter; // 0 for literal text
        int width;
        QString literal;
    };

private:
    QString m_pattern;
    QLocale m_locale;
    std::vector<Field> m_fields; // empty when the pattern needs QLocale
};

} // namespace corvane
