#pragma once

#include "platform/http/HttpReply.h"

#include <QString>
#include <optional>

namespace corvane {

// Reads a reply body as text in the charset the Content-Type declares, ISO-8859-1 when it
// declares none (or one this build cannot decode).
class TextReplyReader final
{
public:
    static std::optional<QString> read(const HttpReply &reply);
    static QString decode(const QByteArray &body, const QByteArray &contentType);
};

} // namespace corvane
