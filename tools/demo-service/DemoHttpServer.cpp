#include "DemoHttpServer.h"

#include "platform/scheduling/Scheduler.h"

#include <QJsonDocument>
#include <QTcpSocket>
#include <cstdio>
#include <utility>

namespace corvane {

namespace {

HttpConnection::Response json(const QJsonObject &envelope)
{
    return {200, QByteArrayLiteral("application/json; charset=utf-8"),
            QJsonDocument(envelope).toJson(QJsonDocument::Compact)};
}

} // namespace

DemoHttpServer::DemoHttpServer(DemoService::Clock clock, QObject *parent)
    : QObject(parent), m_service(std::move(clock))
{
    connect(&m_server, &QTcpServer::newConnection, this, &DemoHttpServer::acceptAll);
    connect(&m_server, &QTcpServer::acceptError, this, &DemoHttpServer::acceptFailed);
}

DemoHttpServer::~DemoHttpServer() = default;

quint16 DemoHttpServer::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port) ? m_server.serverPort() : 0;
}

void DemoHttpServer::acceptAll()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_outOfResources = false;
        new HttpConnection(
            socket, [this](const HttpConnection::Request &request) { return respond(request); },
            {m_limits.maxBodyBytes, m_limits.idleSeconds}, this);
    }
}

void DemoHttpServer::acceptFailed(QAbstractSocket::SocketError error)
{
    // Qt pauses accepting on a lasting error (no descriptor left, EMFILE): waiting on the
    // listening socket now would wake at once, over and over. Try again a little later, when
    // connections may have ended.
    if (error == QAbstractSocket::TemporaryError || m_retryPending)
        return;
    m_retryPending = true;
    if (!std::exchange(m_outOfResources, true)) {
        std::fprintf(stderr,
                     "corvane-demo-service: cannot accept connections (%s); trying "
                     "again every %g s\n",
                     qPrintable(m_server.errorString()), m_limits.acceptRetrySeconds);
    }
    delay(m_limits.acceptRetrySeconds, this, [this] {
        m_retryPending = false;
        m_server.resumeAccepting();
    });
}

HttpConnection::Response DemoHttpServer::respond(const HttpConnection::Request &request)
{
    const bool post = request.method == "POST";
    if (request.path == "/vpnApp/personal/queryOrder")
        return post ? json(m_service.signIn(request.body)) : HttpConnection::Response{405, {}, {}};
    if (request.path == "/vpnApp/tunnel/open")
        return post ? json(m_service.openTunnel(request.body))
                    : HttpConnection::Response{405, {}, {}};
    if (request.path == "/vpnApp/tunnel/close")
        return post ? json(m_service.closeTunnel(request.body))
                    : HttpConnection::Response{405, {}, {}};
    if (request.path == "/cityjson") {
        if (request.method != "GET")
            return {405, {}, {}};
        return {200, QByteArrayLiteral("application/javascript; charset=utf-8"),
                m_service.lookupAnswer()};
    }
    return {404, {}, {}};
}

} // namespace corvane
