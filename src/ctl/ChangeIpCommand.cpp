#include "ctl/ChangeIpCommand.h"

#include "core/home/OrderTexts.h"
#include "core/vpn/TunnelTexts.h"
#include "core/vpn/VpnManager.h"
#include "ctl/CtlText.h"
#include "ctl/StoredSignIn.h"
#include "platform/scheduling/Scheduler.h"

namespace corvane {

namespace {
const QCommandLineOption
    kWait(QStringLiteral("wait"),
          CtlText::pick(
              QStringLiteral(
                  "Return once the tunnel is back up with its new public address, and print it."),
              QStringLiteral("等隧道以新的公网地址重新连通后再返回，并打印该地址。")));
const QCommandLineOption
    kJson(QStringLiteral("json"),
          CtlText::pick(QStringLiteral("With --wait, print the status as JSON."),
                        QStringLiteral("与 --wait 同用：以 JSON 打印状态。")));
} // namespace

ChangeIpCommand::ChangeIpCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("change-ip"), store, parent), m_signIn(new StoredSignIn(this))
{}

ChangeIpCommand::~ChangeIpCommand() = default;

QString ChangeIpCommand::summary() const
{
    return CtlText::pick(QStringLiteral("Reconnect the running tunnel for a new exit address."),
                         QStringLiteral("重新连接运行中的隧道，换一个出口地址。"));
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
    giveUpAfter(
        timeoutSeconds(parser),
        CtlText::pick(QStringLiteral("the tunnel to come back"), QStringLiteral("隧道重新连通")),
        m_signIn);
    // The window has the orders at hand; a script has to sign in for them. That happens during
    // the change's first step instead of before it, and the tunnel stops only once the step is
    // over and the sign-in has brought the order, so a refused sign-in leaves the tunnel up.
    // The step counts from when the script asked, as the window's counts from the tap, so this
    // program's own start-up falls within it.
    session().snapshot([this](const TunnelSession::Snapshot &snapshot) {
        if (snapshot.status != VPNStatus::on || !snapshot.auth) {
            finish(CtlExit::tunnelFailed,
                   CtlText::pick(QStringLiteral("the tunnel is %1: corvanectl connect first"),
                                 QStringLiteral("隧道状态为 %1：请先运行 corvanectl connect"))
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
            m_signInFailure = {code, message};
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
        finish(m_signInFailure->first, m_signInFailure->second);
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
               CtlText::pick(
                   QStringLiteral(
                       "the running tunnel's order %1 is no longer among this customer's orders"),
                   QStringLiteral("运行中隧道的订单 %1 已不在该用户的订单中"))
                   .arg(m_running->orderId));
        return;
    }
    session().onStatusChanged([this](VPNStatus status) { follow(status); });
    TunnelSequencer &sequencer = session().sequencer();
    sequencer.choose(TunnelRequest{TunnelRequest::Service{
        order, m_running->provinceIndex.value_or(-1), m_running->nd, m_running->sip}});
    // The step has been waited out already.
    sequencer.changeAddress(0);
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
    if (status == VPNStatus::connecting && !m_wait)
        finish(CtlExit::done, CtlText::pick(QStringLiteral("changing the exit address..."),
                                            TunnelTexts::switching()));
    else if (status == VPNStatus::on)
        reportAddress(m_json);
    else if (status == VPNStatus::off)
        finish(
            CtlExit::tunnelFailed,
            session().manager().connectFailure
                ? CtlText::pick(
                      QStringLiteral(
                          "the tunnel could not be started again (the line above says why)"),
                      QStringLiteral("隧道无法重新启动（原因见上一行）"))
                : CtlText::pick(
                      QStringLiteral("the tunnel did not come back; the tunnel helper's log in "
                                     "$XDG_RUNTIME_DIR/corvane/ says why"),
                      QStringLiteral(
                          "隧道未能重新连通；原因见 $XDG_RUNTIME_DIR/corvane/ 中隧道助手的日志")));
}

} // namespace corvane
