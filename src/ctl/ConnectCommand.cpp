#include "ctl/ConnectCommand.h"

#include "core/home/OrderTexts.h"
#include "core/province/ProvinceFile.h"
#include "core/vpn/TunnelTexts.h"
#include "core/vpn/VpnManager.h"
#include "ctl/CtlText.h"
#include "ctl/StoredSignIn.h"

namespace corvane {

namespace {
const QCommandLineOption
    kOrder(QStringLiteral("order"),
           CtlText::pick(QStringLiteral("The order to connect with (see corvanectl orders)."),
                         QStringLiteral("用来连接的订单（见 corvanectl orders）。")),
           QStringLiteral("id"));
const QCommandLineOption kProvince(
    QStringLiteral("province"),
    CtlText::pick(
        QStringLiteral("Where the exit address comes from: a province's name or number (see the "
                       "README), or -1 for any. Default: any."),
        QStringLiteral(
            "出口地址所在的省份：名称或编号（见 README），-1 或 随机省份 表示任意。默认：任意。")),
    QStringLiteral("name|index"));
const QCommandLineOption kDedup(
    QStringLiteral("dedup"),
    CtlText::pick(
        QStringLiteral(
            "none, or 24h: never an address this order had in the last 24 hours. Default: none."),
        QStringLiteral("none，或 24h：不给本订单 24 小时内用过的地址。默认：none。")),
    QStringLiteral("none|24h"));
const QCommandLineOption
    kAbnormalIp(QStringLiteral("abnormal-ip"),
                CtlText::pick(QStringLiteral("The abnormal-IP switch. Default: on."),
                              QStringLiteral("异常 IP 开关。默认：on。")),
                QStringLiteral("on|off"));
const QCommandLineOption
    kWait(QStringLiteral("wait"),
          CtlText::pick(
              QStringLiteral(
                  "Return once the tunnel is up and the public address is known, and print it."),
              QStringLiteral("等隧道连通、公网地址已知后再返回，并打印该地址。")));
const QCommandLineOption
    kJson(QStringLiteral("json"),
          CtlText::pick(QStringLiteral("With --wait, print the status as JSON."),
                        QStringLiteral("与 --wait 同用：以 JSON 打印状态。")));
const QString kRandomProvince = QStringLiteral("随机省份");
} // namespace

ConnectCommand::ConnectCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("connect"), store, parent), m_signIn(new StoredSignIn(this))
{}

ConnectCommand::~ConnectCommand() = default;

QString ConnectCommand::summary() const
{
    return CtlText::pick(
        QStringLiteral("Connect through the service's tunnel with one of the orders."),
        QStringLiteral("用一个订单通过服务的隧道连接。"));
}

void ConnectCommand::declare(QCommandLineParser &parser)
{
    parser.addOptions({kOrder, kProvince, kDedup, kAbnormalIp, kWait, kJson});
    declareTimeout(parser);
}

std::optional<ConnectCommand::Choices> ConnectCommand::read(const QCommandLineParser &parser)
{
    Choices choices;
    choices.orderId = parser.value(kOrder);
    if (choices.orderId.isEmpty()) {
        finish(CtlExit::usage,
               CtlText::pick(QStringLiteral("--order is required (see corvanectl orders)"),
                             QStringLiteral("需要 --order（见 corvanectl orders）")));
        return std::nullopt;
    }
    if (parser.isSet(kProvince)) {
        const QString province = parser.value(kProvince);
        const QStringList names = ProvinceFile::load().value_or(QStringList());
        bool isNumber = false;
        const qint64 index = province.toLongLong(&isNumber);
        if (province == kRandomProvince || (isNumber && index == -1))
            choices.provinceIndex = -1;
        else if (isNumber && index >= 0 && index < names.size())
            choices.provinceIndex = index;
        else if (!isNumber && names.contains(province))
            choices.provinceIndex = names.indexOf(province);
        else {
            finish(CtlExit::usage,
                   CtlText::pick(
                       QStringLiteral("no province %1: give a name of the province list or a "
                                      "number from 0 to %2"),
                       QStringLiteral("没有省份 %1：请给出省份列表中的名称或 0 到 %2 的编号"))
                       .arg(province)
                       .arg(names.size() - 1));
            return std::nullopt;
        }
    }
    const QString dedup = parser.value(kDedup);
    if (!dedup.isEmpty() && dedup != QLatin1StringView("none") &&
        dedup != QLatin1StringView("24h")) {
        finish(CtlExit::usage, CtlText::pick(QStringLiteral("--dedup takes none or 24h"),
                                             QStringLiteral("--dedup 只接受 none 或 24h")));
        return std::nullopt;
    }
    choices.nd = dedup == QLatin1StringView("24h") ? 1 : 0;
    const QString abnormal = parser.value(kAbnormalIp);
    if (!abnormal.isEmpty() && abnormal != QLatin1StringView("on") &&
        abnormal != QLatin1StringView("off")) {
        finish(CtlExit::usage, CtlText::pick(QStringLiteral("--abnormal-ip takes on or off"),
                                             QStringLiteral("--abnormal-ip 只接受 on 或 off")));
        return std::nullopt;
    }
    // The switch on means the service may replace an abnormal address: sip 0.
    choices.sip = abnormal == QLatin1StringView("off") ? 1 : 0;
    choices.wait = parser.isSet(kWait);
    choices.json = parser.isSet(kJson);
    return choices;
}

void ConnectCommand::run(const QCommandLineParser &parser)
{
    const std::optional<Choices> choices = read(parser);
    if (!choices)
        return;
    m_choices = *choices;
    giveUpAfter(timeoutSeconds(parser),
                m_choices.wait ? CtlText::pick(QStringLiteral("the tunnel and its public address"),
                                               QStringLiteral("隧道及其公网地址"))
                               : CtlText::pick(QStringLiteral("the tunnel to start"),
                                               QStringLiteral("隧道启动")),
                m_signIn);
    session().snapshot([this](const TunnelSession::Snapshot &snapshot) {
        if (snapshot.status != VPNStatus::off) {
            finish(
                CtlExit::tunnelFailed,
                CtlText::pick(
                    QStringLiteral("the tunnel is %1 already: corvanectl change-ip for a new "
                                   "address, corvanectl disconnect to stop it"),
                    QStringLiteral(
                        "隧道已是 %1：换地址用 corvanectl change-ip，断开用 corvanectl disconnect"))
                    .arg(vpnStatusName(snapshot.status)));
            return;
        }
        m_signIn->fetch(
            [this](const std::shared_ptr<SCOrderContent> &orders) { connectWith(orders); },
            [this](CtlExit code, const QString &message) { finish(code, message); });
    });
}

void ConnectCommand::connectWith(const std::shared_ptr<SCOrderContent> &orders)
{
    std::shared_ptr<SCOrder> order;
    for (const OrderChoice &choice : orderChoices(*orders)) {
        if (choice.order->orderId == m_choices.orderId)
            order = choice.order;
    }
    if (!order) {
        finish(
            CtlExit::usage,
            CtlText::pick(
                QStringLiteral("no order %1 among this customer's orders (see corvanectl orders)"),
                QStringLiteral("该用户没有订单 %1（见 corvanectl orders）"))
                .arg(m_choices.orderId));
        return;
    }
    session().onStatusChanged([this](VPNStatus status) { follow(status); });
    TunnelSequencer &sequencer = session().sequencer();
    sequencer.choose(TunnelRequest{
        TunnelRequest::Service{order, m_choices.provinceIndex, m_choices.nd, m_choices.sip}});
    sequencer.toggle([this](TunnelSequencer::Toggle) { m_started = true; });
}

void ConnectCommand::follow(VPNStatus status)
{
    if (!m_started || isFinished())
        return;
    // The manager has logged the reason on the line before.
    if (session().manager().connectFailure) {
        finish(CtlExit::tunnelFailed,
               CtlText::pick(
                   QStringLiteral("the tunnel could not be started (the line above says why)"),
                   QStringLiteral("隧道无法启动（原因见上一行）")));
        return;
    }
    if (status == VPNStatus::connecting || status == VPNStatus::on) {
        m_sawProgress = true;
        if (!m_choices.wait) {
            finish(CtlExit::done,
                   CtlText::pick(QStringLiteral("connecting..."), TunnelTexts::connecting()));
            return;
        }
    }
    if (status == VPNStatus::on && m_choices.wait) {
        reportAddress(m_choices.json);
        m_started = false;
        return;
    }
    if (status == VPNStatus::off && m_sawProgress)
        finish(CtlExit::tunnelFailed,
               CtlText::pick(
                   QStringLiteral("the tunnel went down before it came up; the tunnel helper's log "
                                  "in $XDG_RUNTIME_DIR/corvane/ says why"),
                   QStringLiteral(
                       "隧道未连通就已断开；原因见 $XDG_RUNTIME_DIR/corvane/ 中隧道助手的日志")));
}

} // namespace corvane
