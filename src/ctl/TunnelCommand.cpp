#include "ctl/TunnelCommand.h"

#include "core/home/TunnelRoad.h"
#include "core/vpn/VpnManager.h"
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

void TunnelCommand::giveUpAfter(int seconds, const QString &waitingFor)
{
    QTimer::singleShot(seconds * 1000, this, [this, seconds, waitingFor] {
        finish(CtlExit::timedOut,
               QStringLiteral("gave up after %1 s waiting for %2").arg(seconds).arg(waitingFor));
    });
}

void TunnelCommand::reportAddress(bool json)
{
    // As the home screen does: the lookup a step after the tunnel came up, once the new route
    // carries it.
    delay(TunnelRoad::kStepDelay, this, [this, json] {
        session().snapshot([this, json](const TunnelSession::Snapshot &snapshot) {
            session().lookUp(
                [this, json, snapshot](const std::optional<PublicAddressAnswer> &address) {
                    if (!address) {
                        finish(CtlExit::tunnelFailed,
                               QStringLiteral("IP连接异常: the tunnel is up but the public address "
                                              "lookup failed"));
                        return;
                    }
                    if (json)
                        printJson(TunnelSession::toJson(snapshot, address));
                    else
                        printLine(address->addressText() + u' ' + address->placeText());
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
