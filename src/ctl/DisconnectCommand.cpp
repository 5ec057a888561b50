#include "ctl/DisconnectCommand.h"

#include "core/vpn/VpnManager.h"

namespace corvane {

DisconnectCommand::DisconnectCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("disconnect"), store, parent)
{}

DisconnectCommand::~DisconnectCommand() = default;

QString DisconnectCommand::summary() const
{
    return QStringLiteral("Stop the tunnel.");
}

void DisconnectCommand::declare(QCommandLineParser &parser)
{
    declareTimeout(parser);
}

void DisconnectCommand::run(const QCommandLineParser &parser)
{
    giveUpAfter(timeoutSeconds(parser), QStringLiteral("the tunnel to stop"));
    session().snapshot([this](const TunnelSession::Snapshot &snapshot) {
        if (snapshot.status == VPNStatus::off) {
            finish(CtlExit::done, QStringLiteral("已断开"));
            return;
        }
        session().onStatusChanged([this](VPNStatus status) {
            if (status == VPNStatus::off)
                finish(CtlExit::done, QStringLiteral("已断开"));
        });
        session().manager().disconnectTunnel();
    });
}

} // namespace corvane
