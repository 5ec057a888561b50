#include "ctl/LogoutCommand.h"

#include "core/vpn/VpnManager.h"
#include "ctl/CtlText.h"
#include "launch/SingleInstance.h"

namespace corvane {

LogoutCommand::LogoutCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("logout"), store, parent)
{}

LogoutCommand::~LogoutCommand() = default;

QString LogoutCommand::summary() const
{
    return CtlText::pick(
        QStringLiteral(
            "Sign out: forget the password (the number stays), stop the service's tunnel."),
        QStringLiteral("退出登录：删除保存的密码（保留手机号码），断开服务隧道。"));
}

void LogoutCommand::declare(QCommandLineParser &parser)
{
    declareTimeout(parser);
}

void LogoutCommand::run(const QCommandLineParser &parser)
{
    giveUpAfter(timeout(parser),
                CtlText::pick(QStringLiteral("the tunnel to stop"), QStringLiteral("隧道断开")));
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
    const QString tunnel = stoppedTunnel ? CtlText::pick(QStringLiteral("; the tunnel is stopped"),
                                                         QStringLiteral("；隧道已断开"))
                                         : QString();
    if (m_forgetting.failure) {
        finish(CtlExit::notStored,
               CtlText::pick(QStringLiteral("the stored password could not be deleted (the line "
                                            "above says why)"),
                             QStringLiteral("保存的密码未能删除（原因见上一行）")) +
                   tunnel);
        return;
    }
    // An open window goes back to its sign-in screen: it would otherwise carry on signed in.
    SingleInstance::tellSignedOut(SingleInstance::defaultFolder());
    finish(CtlExit::done,
           (m_forgetting.wasStored
                ? CtlText::pick(QStringLiteral("signed out"), QStringLiteral("已退出登录"))
                : CtlText::pick(QStringLiteral("not signed in: nothing to sign out of"),
                                QStringLiteral("未登录，无需退出"))) +
               tunnel);
}

} // namespace corvane
