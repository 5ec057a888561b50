#pragma once

#include "DemoService.h"
#include "HttpConnection.h"

#include <QObject>
#include <QTcpServer>
#include <limits>

namespace corvane {

// The demo service on HTTP, on 127.0.0.1 only:
//   POST /vpnApp/personal/queryOrder   the sign-in
//   GET  /cityjson?ie=utf-8            the public-address lookup, of the address it is asked from
// Its own small transport rather than QHttpServer, which in Qt 6.4 reads any body whole into
// memory, has no time limit on a request, keeps a connection the client asked to close, and once
// out of file descriptors spins at full speed (or, when its first failed accept was that one,
// stops accepting for good).
class DemoHttpServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DemoHttpServer)

public:
    struct Limits
    {
        // The service's requests are a few hundred bytes of JSON or text.
        qint64 maxBodyBytes = 64 * 1024;
        std::chrono::milliseconds idle{std::chrono::seconds(10)};
    };

    explicit DemoHttpServer(DemoService::Clock clock = {}, QObject *parent = nullptr);
    ~DemoHttpServer() override;

    // 0 picks a free port. Returns the port, or 0 when it cannot listen.
    quint16 listen(quint16 port);
    DemoService &service() { return m_service; }
    // For connections accepted from now on.
    void setLimits(const Limits &limits) { m_limits = limits; }

private:
    void acceptAll();
    void connectionEnded();
    HttpConnection::Response respond(const HttpConnection::Request &request);

    DemoService m_service;
    QTcpServer m_server;
    Limits m_limits;
    qsizetype m_connections = 0;
    // As many as the descriptors allow; unbounded where they are.
    qsizetype m_maxConnections = std::numeric_limits<qsizetype>::max();
    bool m_toldFull = false;
};

} // namespace corvane
