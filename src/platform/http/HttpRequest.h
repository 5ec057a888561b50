#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QUrl>
#include <chrono>
#include <optional>

namespace corvane {

enum class HttpMethod
{
    Get,
    Post,
    Put,
    Patch,
    Delete,
    Head
};

// How the parameters travel: as a URL query, or serialised as a JSON object in the body.
enum class ParameterEncoding
{
    UrlQuery,
    JsonBody
};

struct HttpRequest
{
    QUrl url;
    HttpMethod method = HttpMethod::Get;
    std::optional<QJsonObject> parameters;
    ParameterEncoding encoding = ParameterEncoding::UrlQuery;
    QList<QPair<QByteArray, QByteArray>> headers;
    // No byte moving for this long ends the request as a failure.
    std::chrono::milliseconds timeout{20000};
    // Sent through the HTTP proxy on 127.0.0.1 at this port instead of directly. (Not through
    // SOCKS5: Qt's SOCKS5 engine reads whatever arrives into a buffer of its own, with no bound.)
    std::optional<quint16> httpProxyPort;
};

} // namespace corvane
