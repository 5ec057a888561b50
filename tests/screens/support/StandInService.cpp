#include "StandInService.h"

#include "core/config/ServiceEndpoints.h"

#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonObject>

StandInService::StandInService(QObject *parent) : QObject(parent)
{
    m_server.route(QStringLiteral("/vpnApp/personal/queryOrder"),
                   [this](const QHttpServerRequest &request) {
                       loginBodies.append(request.body());
                       const QString password = QJsonDocument::fromJson(request.body())
                                                    .object()
                                                    .value(QStringLiteral("password"))
                                                    .toString();
                       return QHttpServerResponse("application/json",
                                                  loginReplyFor.value(password, loginReply));
                   });
    m_server.route(QStringLiteral("/cityjson"), [this](const QHttpServerRequest &) {
        ++lookups;
        return QHttpServerResponse(lookupContentType, lookupReply);
    });
    m_port = m_server.listen(QHostAddress::LocalHost);
}

QString StandInService::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void StandInService::install() const
{
    corvane::ServiceEndpoints endpoints;
    endpoints.serviceBaseAddress = baseUrl();
    endpoints.lookupBaseAddress = baseUrl();
    endpoints.tunnelHost = QStringLiteral("tunnel.test");
    corvane::ServiceEndpoints::install(endpoints);
}
