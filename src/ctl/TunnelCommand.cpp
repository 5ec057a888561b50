#include "ctl/TunnelCommand.h"

#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VpnManager.h"
#include "ctl/CtlText.h"
#include "ctl/StoredSignIn.h"
#include "platform/scheduling/Scheduler.h"

#include <QTimer>

namespace corvane {

TunnelCommand::TunnelCommand(QString name, TunnelProfileStore &store, QObject *parent)
    : CtlCommand(std::move(name), parent), m_store(store)
{}

TunnelCommand::~TunnelCommand() = default;

TunnelSession &TunnelCommand::session()
{
    if (!m_session)
        m_session = std::make_unique<TunnelSession>(VpnManager::shared(), m_store);
    return *m_session;
}

void TunnelCommand::giveUpAfter(int seconds, const QString &waitingFor, const StoredSignIn *signIn)
{
    QTimer::singleShot(seconds * 1000, this, [this, seconds, waitingFor, signIn] {
        if (signIn && signIn->isWaiting()) {
            finish(CtlExit::network,
                   CtlText::pick(QStringLiteral("gave up after %1 s waiting for the service"),
                                 QStringLiteral("等待服务 %1 秒后放弃"))
                       .arg(seconds));
            return;
        }
        finish(CtlExit::timedOut, CtlText::pick(QStringLiteral("gave up after %1 s waiting for %2"),
                                                QStringLiteral("等待%2 %1 秒后放弃"))
                                      .arg(seconds)
                                      .arg(waitingFor));
    });
}

void TunnelCommand::reportAddress(bool json)
{
    // As the home screen does: the lookup a step after the tunnel came up, once the new route
    // carries it.
    delay(TunnelSequencer::kStepDelay, this, [this, json] {
        session().snapshot([this, json](const TunnelSession::Snapshot &snapshot) {
            session().lookUp(
                [this, json, snapshot](const std::optional<PublicAddressAnswer> &address) {
                    if (!address) {
                        finish(CtlExit::tunnelFailed,
                               CtlText::pick(
                                   QStringLiteral("IP连接异常: the tunnel is up but the public "
                                                  "address lookup failed"),
                                   QStringLiteral("IP连接异常：隧道已连通，但查询公网地址失败")));
                        return;
                    }
                    if (json)
                        printJson(TunnelSession::toJson(snapshot, address));
                    else
                        printLine(CtlText::pick(QStringLiteral("public address: ") +
                                                    address->cip.value_or(QString()),
                                                address->addressText()) +
                                  u' ' + address->placeText());
                    finish(CtlExit::done);
                });
        });
    });
}

void TunnelCommand::withLocalProxy(std::function<void(const LocalProxyPorts &)> use)
{
    session().snapshot([this, use = std::move(use)](const TunnelSession::Snapshot &snapshot) {
        if (snapshot.status != VPNStatus::on || !snapshot.proxy) {
            finish(CtlExit::tunnelFailed, QStringLiteral("the tunnel is not on (status: %1)")
                                              .arg(vpnStatusName(snapshot.status)));
            return;
        }
        use(*snapshot.proxy);
    });
}

} // namespace corvane
