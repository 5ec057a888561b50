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
    m_server.route(QStringLiteral("/vpnApp/tunnel/open"), QHttpServerRequest::Method::Post,
                   [this](const QHttpServerRequest &request) {
                       return json(m_service.openTunnel(request.body()));
                   });
    m_server.route(QStringLiteral("/vpnApp/tunnel/close"), QHttpServerRequest::Method::Post,
                   [this](const QHttpServerRequest &request) {
                       return json(m_service.closeTunnel(request.body()));
                   });
    m_server.route(QStringLiteral("/cityjson"), QHttpServerRequest::Method::Get,
                   [this](const QHttpServerRequest &) {
                       return QHttpServerResponse(
                           QByteArrayLiteral("application/javascript; charset=utf-8"),
                           m_service.lookupAnswer());
                   });
}

DemoHttpServer::~DemoHttpServer() = default;

quint16 DemoHttpServer::listen(quint16 port)
{
    const int bound = m_server.listen(QHostAddress::LocalHost, port);
    return bound > 0 ? static_cast<quint16>(bound) : 0;
}

} // namespace corvane
