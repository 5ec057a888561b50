#include "ctl/DisconnectCommand.h"

#include "core/vpn/VpnManager.h"
#include "ctl/CtlText.h"

namespace corvane {

namespace {
QString disconnected()
{
    return CtlText::pick(QStringLiteral("disconnected"), QStringLiteral("已断开"));
}
} // namespace

DisconnectCommand::DisconnectCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("disconnect"), store, parent)
{}

DisconnectCommand::~DisconnectCommand() = default;

QString DisconnectCommand::summary() const
{
    return CtlText::pick(QStringLiteral("Stop the tunnel."), QStringLiteral("断开隧道。"));
}

void DisconnectCommand::declare(QCommandLineParser &parser)
{
    declareTimeout(parser);
}

void DisconnectCommand::run(const QCommandLineParser &parser)
{
    giveUpAfter(timeoutSeconds(parser),
                CtlText::pick(QStringLiteral("the tunnel to stop"), QStringLiteral("隧道断开")));
    session().snapshot([this](const TunnelSession::Snapshot &snapshot) {
        if (snapshot.status == VPNStatus::off) {
            finish(CtlExit::done, disconnected());
            return;
        }
        session().onStatusChanged([this](VPNStatus status) {
            if (status == VPNStatus::off)
                finish(CtlExit::done, disconnected());
        });
        session().sequencer().disconnectTunnel();
    });
}

} // namespace corvane
