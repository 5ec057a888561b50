#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace corvane {

class SCDateFormatterTransform;

// Reads record fields from one JSON object by key. A missing key, a null or a value of another
// kind leaves the field as it was, so decoding never fails.
class Map final
{
public:
    explicit Map(QJsonObject object) : m_object(std::move(object)) {}

    const QJsonObject &object() const { return m_object; }
    QJsonValue value(QLatin1StringView key) const { return m_object.value(key); }

    void text(QLatin1StringView key, QString &field) const;
    void integer(QLatin1StringView key, qint64 &field) const;
    // A JSON number that is a whole 64-bit integer; nothing for anything else.
    static std::optional<qint64> wholeNumber(const QJsonValue &value);
    void real(QLatin1StringView key, double &field) const;
    void real(QLatin1StringView key, float &field) const;
    void transformed(QLatin1StringView key, const SCDateFormatterTransform &transform,
                     QString &field) const;

    // An array of objects, each decoded as a `Record` in array order; anything else leaves the
    // list as it was.
    template <class Record>
    void records(QLatin1StringView key, QList<std::shared_ptr<Record>> &field) const;

private:
    QJsonObject m_object;
};

template <class Record>
void Map::records(QLatin1StringView key, QList<std::shared_ptr<Record>> &field) const
{
    const QJsonValue value = m_object.value(key);
    if (!value.isArray())
        return;
    const QJsonArray array = value.toArray();
    QList<std::shared_ptr<Record>> decoded;
    decoded.reserve(array.size());
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            return;
        auto record = std::make_shared<Record>();
        record->mapping(Map(element.toObject()));
        decoded.append(std::move(record));
    }
    field = std::move(decoded);
}

} // namespace corvane
