#include "ctl/ChangeIpCommand.h"

#include "core/home/OrderTexts.h"
#include "core/vpn/VpnManager.h"
#include "ctl/StoredSignIn.h"
#include "launch/LocaleText.h"
#include "platform/scheduling/Scheduler.h"

namespace corvane {

namespace {
const QCommandLineOption
    kWait(QStringLiteral("wait"),
          LocaleText::text(QStringLiteral("change-ip.return-once-the-tunnel-is")));
const QCommandLineOption
    kJson(QStringLiteral("json"),
          LocaleText::text(QStringLiteral("change-ip.with-wait-print-the-status")));
} // namespace

ChangeIpCommand::ChangeIpCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("change-ip"), store, parent), m_signIn(new StoredSignIn(this))
{}

ChangeIpCommand::~ChangeIpCommand() = default;

QString ChangeIpCommand::summary() const
{
    return LocaleText::text(QStringLiteral("change-ip.reconnect-the-running-tunnel-for"));
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
    giveUpAfter(timeout(parser),
                LocaleText::text(QStringLiteral("change-ip.the-tunnel-to-come-back")), m_signIn);
    // The window has the orders at hand; a script has to sign in for them. That happens during
    // the change's first step instead of before it, and the tunnel stops only once the step is
    // over and the sign-in has brought the order, so a refused sign-in leaves the tunnel up.
    // The step counts from when the script asked, as the window's counts from the tap, so this
    // program's own start-up falls within it.
    session().snapshot([this](const TunnelSession::Snapshot &snapshot) {
        if (snapshot.status != VPNStatus::on || !snapshot.auth) {
            finish(CtlExit::tunnelFailed,
                   LocaleText::text(QStringLiteral("change-ip.the-tunnel-is-1-corvanectl"))
                       .arg(vpnStatusName(snapshot.status)));
            return;
        }
        m_running = snapshot.auth;
        stopWhenReady();
    });
    // The order's secret signs the new string; only a sign-in brings it.
    m_signIn->fetch(
        [this](const std::shared_ptr<SCOrderContent> &orders) {
            m_orders = orders;
            stopWhenReady();
        },
        [this](CtlExit code, const QString &message) {
            m_signInFailure = CtlFailure{code, message};
            stopWhenReady();
        });
    delay(remainingOfStep(TunnelSequencer::kStepDelay), this, [this] {
        m_stepWaited = true;
        stopWhenReady();
    });
}

void ChangeIpCommand::stopWhenReady()
{
    // A tunnel that is not up is the first thing to tell, whatever the sign-in said.
    if (isFinished() || !m_running)
        return;
    if (m_signInFailure) {
        finish(m_signInFailure->code, m_signInFailure->message);
        return;
    }
    if (!m_orders || !m_stepWaited)
        return;
    std::shared_ptr<SCOrder> order;
    for (const OrderChoice &choice : orderChoices(*m_orders)) {
        if (choice.order->orderId == m_running->orderId)
            order = choice.order;
    }
    if (!order) {
        finish(CtlExit::refused,
               LocaleText::text(QStringLiteral("change-ip.the-running-tunnels-order-1"))
                   .arg(m_running->orderId));
        return;
    }
    session().onStatusChanged([this](VPNStatus status) { follow(status); });
    TunnelSequencer &sequencer = session().sequencer();
    sequencer.choose(TunnelRequest{TunnelRequest::Service{
        order, m_running->provinceIndex.value_or(-1), m_running->nd, m_running->sip}});
    // The step has been waited out already.
    sequencer.changeAddress(Scheduler::Duration::zero());
}

void ChangeIpCommand::follow(VPNStatus status)
{
    if (isFinished())
        return;
    // The sequencer connects again a step after this first off.
    if (!m_stopped) {
        m_stopped = status == VPNStatus::off;
        return;
    }
    if (!m_wait &&
        (status == VPNStatus::on || (status == VPNStatus::connecting && !waitsForTheDevice())))
        finish(CtlExit::done, LocaleText::text(QStringLiteral("switching")));
    else if (status == VPNStatus::on)
        reportAddress(m_json);
    else if (status == VPNStatus::off && !endedForSystemWide())
        finish(CtlExit::tunnelFailed,
               session().manager().connectFailure
                   ? LocaleText::text(QStringLiteral("change-ip.the-tunnel-could-not-be"))
                   : LocaleText::text(QStringLiteral("change-ip.the-tunnel-did-not-come")));
}

} // namespace corvane
