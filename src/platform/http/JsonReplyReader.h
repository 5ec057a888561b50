#pragma once

#include "platform/http/HttpReply.h"

#include <QJsonValue>
#include <optional>

namespace corvane {

// Reads a reply body as JSON, top-level fragments included (0, "x", null, [] are JSON too),
// after a UTF-8 byte-order mark if the body starts with one.
class JsonReplyReader final
{
public:
    // Nothing for a transport failure, an empty body or a body that is not one JSON value.
    // An empty 204 or 205 answer reads as null: the server said there is nothing.
    static std::optional<QJsonValue> read(const HttpReply &reply);
    static std::optional<QJsonValue> parse(const QByteArray &body);
};

} // namespace corvane
