#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace corvane {

// What came back for one request. `transportFailed` covers everything that is not an HTTP
// answer read to its end: no connection, time-out, cancel, a connection closed mid-body.
struct HttpReply
{
    bool transportFailed = false;
    bool cancelled = false;
    QString errorString;
    // Set whenever a status line arrived, also when the body was cut off afterwards.
    std::optional<int> statusCode;
    QByteArray contentType;
    QByteArray body;
};

} // namespace corvane
