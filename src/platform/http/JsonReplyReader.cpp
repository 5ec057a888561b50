#include "platform/http/JsonReplyReader.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace corvane {

std::optional<QJsonValue> JsonReplyReader::read(const HttpReply &reply)
{
    if (reply.transportFailed)
        return std::nullopt;
    if (reply.body.isEmpty() && (reply.statusCode == 204 || reply.statusCode == 205))
        return QJsonValue(QJsonValue::Null);
    return parse(reply.body);
}

std::optional<QJsonValue> JsonReplyReader::parse(const QByteArray &body)
{
    // JSON text carries no byte-order mark, but parsers may skip one, and some servers send it.
    const QByteArrayView text =
        body.startsWith("\xEF\xBB\xBF") ? QByteArrayView(body).sliced(3) : QByteArrayView(body);
    // QJsonDocument takes only objects and arrays. Wrapped in brackets, a body that is exactly
    // one JSON value becomes a one-element array; anything else fails to parse or has another
    // count.
    QByteArray wrapped;
    wrapped.reserve(text.size() + 2);
    wrapped.append('[').append(text).append(']');
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(wrapped, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    if (array.size() != 1)
        return std::nullopt;
    return array.first();
}

} // namespace corvane
