#include "ctl/ChangeIpCommand.h"

#include "core/home/OrderTexts.h"
#include "core/vpn/VpnManager.h"
#include "ctl/StoredSignIn.h"

namespace corvane {

namespace {
const QCommandLineOption kWait(QStringLiteral("wait"),
                               QStringLiteral("Return once the tunnel is back up with its new "
                                              "public address, and print it."));
const QCommandLineOption kJson(QStringLiteral("json"),
                               QStringLiteral("With --wait, print the status as JSON."));
} // namespace

ChangeIpCommand::ChangeIpCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("change-ip"), store, parent), m_signIn(new StoredSignIn(this))
{}

ChangeIpCommand::~ChangeIpCommand() = default;

QString ChangeIpCommand::summary() const
{
    return QStringLiteral("Reconnect the running tunnel for a new exit address.");
}

void ChangeIpCommand::declare(QCommandLineParser &parser)
{
    parser.addOptions({kWait, kJson});
    declareTimeout(parser);
}

void ChangeIpCommand::run(const QCommandLineParser &parser)
{
    m_wait = parser.isSet(kWait);
    m_json = parser.isSet(kJson);
    giveUpAfter(timeoutSeconds(parser), QStringLiteral("the tunnel to come back"));
    session().snapshot([this](const TunnelSession::Snapshot &snapshot) {
        if (snapshot.status != VPNStatus::on || !snapshot.auth) {
            finish(CtlExit::tunnelFailed,
                   QStringLiteral("the tunnel is %1: corvanectl connect first")
                       .arg(vpnStatusName(snapshot.status)));
            return;
        }
        m_running = *snapshot.auth;
        // The order's secret signs the new string; only a sign-in brings it.
        m_signIn->fetch([this](const std::shared_ptr<SCOrderContent> &orders) { change(orders); },
                        [this](CtlExit code, const QString &message) { finish(code, message); });
    });
}

void ChangeIpCommand::change(const std::shared_ptr<SCOrderContent> &orders)
{
    for (const OrderChoice &choice : orderChoices(*orders)) {
        if (choice.order->orderId == m_running.orderId)
            m_order = choice.order;
    }
    if (!m_order) {
        finish(CtlExit::refused, QStringLiteral("the running tunnel's order %1 is no longer "
                                                "among this customer's orders")
                                     .arg(m_running.orderId));
        return;
    }
    VpnManager &manager = session().manager();
    manager.nd = m_running.nd;
    manager.sip = m_running.sip;
    session().onStatusChanged([this](VPNStatus status) { follow(status); });
    session().road().beginChange();
}

void ChangeIpCommand::follow(VPNStatus status)
{
    if (isFinished())
        return;
    TunnelRoad &road = session().road();
    const bool changing = road.isChanging();
    road.statusChanged(status, [this, &road] {
        road.toggleLater(m_order, m_running.pid.value_or(-1),
                         [this](TunnelRoad::Toggle) { m_reconnected = true; });
    });
    if (!changing)
        return;
    if (status == VPNStatus::connecting && m_reconnected && !m_wait)
        finish(CtlExit::done, QStringLiteral("切换中..."));
    else if (status == VPNStatus::on && m_reconnected)
        reportAddress(m_json);
    else if (status == VPNStatus::off && m_reconnected)
        finish(CtlExit::tunnelFailed,
               QStringLiteral("the tunnel did not come back; the tunnel helper's log in "
                              "$XDG_RUNTIME_DIR/corvane/ says why"));
}

} // namespace corvane
