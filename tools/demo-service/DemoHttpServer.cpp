#include "DemoHttpServer.h"

#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonDocument>

namespace corvane {

namespace {
QHttpServerResponse json(const QJsonObject &envelope)
{
    return QHttpServerResponse(QByteArrayLiteral("application/json; charset=utf-8"),
                               QJsonDocument(envelope).toJson(QJsonDocument::Compact));
}
} // namespace

DemoHttpServer::DemoHttpServer(DemoService::Clock clock, QObject *parent)
    : QObject(parent), m_service(std::move(clock))
{
    m_server.route(QStringLiteral("/vpnApp/personal/queryOrder"), QHttpServerRequest::Method::Post,
                   [this](const QHttpServerRequest &request) {
                       return json(m_service.signIn(request.body()));
                   });
    m_server.route(QStringLiteral("/cityjson"), QHttpServerRequest::Method::Get,
                   [this](const QHttpServerRequest &request) {
                       QHostAddress peer = request.remoteAddress();
                       bool mapped = false;
                       if (const quint32 v4 = peer.toIPv4Address(&mapped); mapped)
                           peer = QHostAddress(v4);
                       return QHttpServerResponse(
                           QByteArrayLiteral("application/javascript; charset=utf-8"),
                           m_service.lookupAnswer(peer.toString()));
                   });
}

DemoHttpServer::~DemoHttpServer() = default;

quint16 DemoHttpServer::listen(quint16 port)
{
    const int bound = m_server.listen(QHostAddress::LocalHost, port);
    return bound > 0 ? static_cast<quint16>(bound) : 0;
}

} // namespace corvane
