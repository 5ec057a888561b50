#include "DemoHttpServer.h"

#include <QDir>
#include <QJsonDocument>
#include <QTcpSocket>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <utility>

namespace corvane {

namespace {

// Descriptors left for the process's own needs (logging, a late file) once connections have
// taken theirs.
constexpr qsizetype kSpareDescriptors = 8;

HttpConnection::Response json(const QJsonObject &envelope)
{
    return {200, QByteArrayLiteral("application/json; charset=utf-8"),
            QJsonDocument(envelope).toJson(QJsonDocument::Compact)};
}

} // namespace

DemoHttpServer::DemoHttpServer(DemoService::Clock clock, QObject *parent)
    : QObject(parent), m_service(std::move(clock))
{
    // Connections are taken one at a time, so that none waits in Qt's list holding a descriptor.
    m_server.setMaxPendingConnections(1);
    connect(&m_server, &QTcpServer::newConnection, this, &DemoHttpServer::acceptAll);
}

DemoHttpServer::~DemoHttpServer() = default;

quint16 DemoHttpServer::listen(quint16 port)
{
    if (!m_server.listen(QHostAddress::LocalHost, port))
        return 0;
    // Out of descriptors, Qt's accept fails over and over without telling (the first error of
    // its socket engine sticks), waking the event loop at once each time: so the service stops
    // accepting before it gets there, and the kernel holds new connections until one ends.
    rlimit descriptors{};
    const qsizetype open = QDir(QStringLiteral("/proc/self/fd")).count();
    if (::getrlimit(RLIMIT_NOFILE, &descriptors) == 0 && descriptors.rlim_cur != RLIM_INFINITY)
        m_maxConnections = std::max<qsizetype>(1, static_cast<qsizetype>(descriptors.rlim_cur) -
                                                      open - kSpareDescriptors);
    return m_server.serverPort();
}

void DemoHttpServer::acceptAll()
{
    while (m_connections < m_maxConnections) {
        QTcpSocket *socket = m_server.nextPendingConnection();
        if (!socket)
            return;
        ++m_connections;
        auto *connection = new HttpConnection(
            socket, [this](const HttpConnection::Request &request) { return respond(request); },
            {m_limits.maxBodyBytes, m_limits.idle}, this);
        connect(connection, &QObject::destroyed, this, &DemoHttpServer::connectionEnded);
    }
    m_server.pauseAccepting();
    if (std::exchange(m_toldFull, true))
        return;
    std::fprintf(stderr,
                 "corvane-demo-service: %lld connections open, as many as its file descriptors "
                 "allow; new ones wait\n",
                 static_cast<long long>(m_connections));
}

void DemoHttpServer::connectionEnded()
{
    if (m_connections-- < m_maxConnections)
        return;
    m_server.resumeAccepting();
    acceptAll();
}

HttpConnection::Response DemoHttpServer::respond(const HttpConnection::Request &request)
{
    const bool post = request.method == "POST";
    if (request.path == "/vpnApp/personal/queryOrder")
        return post ? json(m_service.signIn(request.body)) : HttpConnection::Response{405, {}, {}};
    if (request.path == "/cityjson") {
        if (request.method != "GET")
            return {405, {}, {}};
        return {200, QByteArrayLiteral("application/javascript; charset=utf-8"),
                m_service.lookupAnswer(request.peer.toString())};
    }
    // The address this request came from, for a person or a script checking the tunnel.
    if (request.path == "/ip") {
        if (request.method != "GET")
            return {405, {}, {}};
        return {200, QByteArrayLiteral("text/plain; charset=utf-8"),
                request.peer.toString().toUtf8() + '\n'};
    }
    return {404, {}, {}};
}

} // namespace corvane
