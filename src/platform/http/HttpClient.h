#pragma once

#include "platform/http/HttpReply.h"
#include "platform/http/HttpRequest.h"
#include "platform/http/HttpTask.h"

#include <QHash>
#include <QObject>
#include <chrono>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace corvane {

// The application's one HTTP session. Every request ends in exactly one call of its
// completion, on the main thread and never from inside send() or cancel().
//
// Every request follows redirects only within its own origin (scheme, host and port): a
// redirect elsewhere would carry a POST body such as the password to a host the service merely
// named, so it ends the request as a failure that keeps the redirect's status. Besides the
// request's own inactivity time-out, every request is bounded in total time and in size.
class HttpClient final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpClient)

public:
    using Completion = std::function<void(const HttpReply &)>;

    struct Limits
    {
        // From send() to the last byte, however steadily the bytes trickle in.
        std::chrono::milliseconds totalDeadline{60000};
        // The reply body as delivered (after any content decoding). The body is read as it
        // arrives through a small buffer, so this bounds the memory a reply can take as well.
        qint64 maxBodyBytes = 16 * 1024 * 1024;
        // The status line and the header fields together.
        qint64 maxHeaderBytes = 64 * 1024;
    };

    explicit HttpClient(QObject *parent = nullptr);
    ~HttpClient() override;

    static HttpClient &shared();

    HttpTask send(const HttpRequest &request, Completion completion);

    Limits limits() const { return m_limits; }
    // For requests sent from now on.
    void setLimits(const Limits &limits) { m_limits = limits; }

private:
    struct Transfer;

    void watchHeaders(const std::shared_ptr<Transfer> &transfer);
    void readBody(const std::shared_ptr<Transfer> &transfer);
    void finish(const std::shared_ptr<Transfer> &transfer);

    QNetworkAccessManager *managerFor(const HttpRequest &request);

    QNetworkAccessManager *m_manager;
    // One manager per local SOCKS5 port requests were sent through.
    QHash<quint16, QNetworkAccessManager *> m_proxied;
    Limits m_limits;
};

} // namespace corvane
