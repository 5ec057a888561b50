#include "DemoRelays.h"

#include "DemoService.h"
#include "platform/log/Log.h"

namespace corvane {

namespace {
void logLine(const std::string &line)
{
    Log::info(QString::fromStdString(line));
}

quint16 listenOn(tunnel::RelayServer &relay, quint16 port)
{
    const std::string error = relay.listen(tunnel::SocketAddress::loopback(false, port));
    if (!error.empty()) {
        logLine("Cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + error);
        return 0;
    }
    return relay.port();
}
} // namespace

DemoRelays::DemoRelays(DemoService &service, const QString &refusal, QObject *parent)
    : QObject(parent), m_driver(new QtDrivenLoop(this))
{
    auto authorise = [&service, refusal = refusal.toStdString()](const std::string &auth) {
        if (!refusal.empty())
            return tunnel::RelayServer::Decision{false, refusal, {}};
        const QJsonObject reply = service.openTunnel(QByteArray::fromStdString(auth));
        tunnel::RelayServer::Decision decision;
        decision.accepted = reply.value(QLatin1String("code")).toInt(-1) == 0;
        decision.reason = reply.value(QLatin1String("message")).toString().toStdString();
        decision.exitAddress = reply.value(QLatin1String("result"))
                                   .toObject()
                                   .value(QLatin1String("ip"))
                                   .toString()
                                   .toStdString();
        return decision;
    };
    m_service = std::make_unique<tunnel::RelayServer>(
        m_driver->loop(), tunnel::RelayServer::Options{}, authorise, logLine);
    tunnel::RelayServer::Options plain;
    plain.plain.emplace(tunnel::RelayMethod::Form::Stream, "");
    m_plain =
        std::make_unique<tunnel::RelayServer>(m_driver->loop(), std::move(plain), nullptr, logLine);
}

DemoRelays::~DemoRelays() = default;

quint16 DemoRelays::listenServiceRelay(quint16 port)
{
    return listenOn(*m_service, port);
}

quint16 DemoRelays::listenPlainRelay(quint16 port)
{
    return listenOn(*m_plain, port);
}

} // namespace corvane
