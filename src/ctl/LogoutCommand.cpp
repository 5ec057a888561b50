#include "ctl/LogoutCommand.h"

#include "core/vpn/VpnManager.h"
#include "launch/LocaleText.h"
#include "launch/SingleInstance.h"

namespace corvane {

LogoutCommand::LogoutCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("logout"), store, parent)
{}

LogoutCommand::~LogoutCommand() = default;

QString LogoutCommand::summary() const
{
    return LocaleText::text(QStringLiteral("logout.sign-out-forget-the-password"));
}

void LogoutCommand::declare(QCommandLineParser &parser)
{
    declareTimeout(parser);
}

void LogoutCommand::run(const QCommandLineParser &parser)
{
    giveUpAfter(timeoutSeconds(parser),
                LocaleText::text(QStringLiteral("disconnect.the-tunnel-to-stop")));
    // The password goes first: a tunnel that will not stop must not keep the account signed in.
    LocalState::shared().forgetPwdNum([this](const LocalState::Forgetting &outcome) {
        m_forgetting = outcome;
        stopServiceTunnel();
    });
}

void LogoutCommand::stopServiceTunnel()
{
    session().snapshot([this](const TunnelSession::Snapshot &snapshot) {
        // Only the service's tunnel carries a signed string of the account's order.
        if (snapshot.status == VPNStatus::off || !snapshot.auth) {
            conclude(false);
            return;
        }
        session().onStatusChanged([this](VPNStatus status) {
            if (status == VPNStatus::off)
                conclude(true);
        });
        session().manager().disconnectTunnel();
    });
}

void LogoutCommand::conclude(bool stoppedTunnel)
{
    const QString tunnel = stoppedTunnel
                               ? LocaleText::text(QStringLiteral("logout.the-tunnel-is-stopped"))
                               : QString();
    if (m_forgetting.failure) {
        finish(CtlExit::notStored,
               LocaleText::text(QStringLiteral("logout.the-stored-password-could-not")) + tunnel);
        return;
    }
    // An open window goes back to its sign-in screen: it would otherwise carry on signed in.
    SingleInstance::tellSignedOut(SingleInstance::defaultFolder());
    finish(CtlExit::done,
           (m_forgetting.wasStored
                ? LocaleText::text(QStringLiteral("logout.signed-out"))
                : LocaleText::text(QStringLiteral("logout.not-signed-in-nothing-to"))) +
               tunnel);
}

} // namespace corvane
