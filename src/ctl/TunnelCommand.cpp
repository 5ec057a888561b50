#include "ctl/TunnelCommand.h"

#include "core/vpn/ProxyModeSetting.h"
#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VpnManager.h"
#include "ctl/StoredSignIn.h"
#include "launch/LocaleText.h"
#include "platform/scheduling/Scheduler.h"
#include "platform/settings/SettingsStore.h"

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

void TunnelCommand::giveUpAfter(std::chrono::seconds wait, const QString &waitingFor,
                                const StoredSignIn *signIn)
{
    QTimer::singleShot(wait, this, [this, seconds = wait.count(), waitingFor, signIn] {
        if (signIn && signIn->isWaiting()) {
            finish(CtlExit::network,
                   LocaleText::text(QStringLiteral("tunnel.gave-up-after-1-s")).arg(seconds));
            return;
        }
        finish(CtlExit::timedOut, LocaleText::text(QStringLiteral("tunnel.gave-up-after-1-s-2"))
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
                               LocaleText::text(QStringLiteral("tunnel.ip-the-tunnel-is-up")));
                        return;
                    }
                    if (json)
                        printJson(TunnelSession::toJson(snapshot, address));
                    else
                        printLine(LocaleText::text(QStringLiteral("address.current"))
                                      .arg(address->cip.value_or(QString())) +
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

bool TunnelCommand::endedForSystemWide()
{
    const std::optional<TunnelEndReason> &reason = session().manager().endReason;
    if (!reason || reason->kind != TunnelEndReason::Kind::systemWide)
        return false;
    finish(CtlExit::tunnelFailed,
           reason->detail.isEmpty()
               ? LocaleText::text(QStringLiteral("tunnel.system-wide-could-not"))
               : LocaleText::text(QStringLiteral("tunnel.system-wide-could-not-1"))
                     .arg(reason->detail));
    return true;
}

bool TunnelCommand::waitsForTheDevice()
{
    return ProxyModeSetting(SettingsStore::shared()).mode() == ProxyModeSetting::Mode::systemWide;
}

} // namespace corvane
