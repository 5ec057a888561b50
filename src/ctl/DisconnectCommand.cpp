#include "ctl/DisconnectCommand.h"

#include "core/vpn/VpnManager.h"
#include "launch/LocaleText.h"

namespace corvane {

namespace {
QString disconnected()
{
    return LocaleText::text(QStringLiteral("disconnect.disconnected"));
}
} // namespace

DisconnectCommand::DisconnectCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("disconnect"), store, parent)
{}

DisconnectCommand::~DisconnectCommand() = default;

QString DisconnectCommand::summary() const
{
    return LocaleText::text(QStringLiteral("disconnect.stop-the-tunnel"));
}

void DisconnectCommand::declare(QCommandLineParser &parser)
{
    declareTimeout(parser);
}

void DisconnectCommand::run(const QCommandLineParser &parser)
{
    giveUpAfter(timeout(parser), LocaleText::text(QStringLiteral("disconnect.the-tunnel-to-stop")));
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
