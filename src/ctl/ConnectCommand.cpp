#include "ctl/ConnectCommand.h"

#include "core/home/OrderTexts.h"
#include "core/province/ProvinceFile.h"
#include "core/vpn/TunnelTexts.h"
#include "core/vpn/VpnManager.h"
#include "ctl/StoredSignIn.h"

namespace corvane {

namespace {
const QCommandLineOption
    kOrder(QStringLiteral("order"),
           QStringLiteral("The order to connect with (see corvanectl orders)."),
           QStringLiteral("id"));
const QCommandLineOption kProvince(
    QStringLiteral("province"),
    QStringLiteral("Where the exit address comes from: a province's name or number (see the "
                   "README), or -1 / 随机省份 for any. Default: any."),
    QStringLiteral("name|index"));
const QCommandLineOption kDedup(QStringLiteral("dedup"),
                                QStringLiteral("none, or 24h: never an address this order had in "
                                               "the last 24 hours. Default: none."),
                                QStringLiteral("none|24h"));
const QCommandLineOption kAbnormalIp(QStringLiteral("abnormal-ip"),
                                     QStringLiteral("The abnormal-IP switch. Default: on."),
                                     QStringLiteral("on|off"));
const QCommandLineOption kWait(QStringLiteral("wait"),
                               QStringLiteral("Return once the tunnel is up and the public address "
                                              "is known, and print it."));
const QCommandLineOption kJson(QStringLiteral("json"),
                               QStringLiteral("With --wait, print the status as JSON."));
const QString kRandomProvince = QStringLiteral("随机省份");
} // namespace

ConnectCommand::ConnectCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("connect"), store, parent), m_signIn(new StoredSignIn(this))
{}

ConnectCommand::~ConnectCommand() = default;

QString ConnectCommand::summary() const
{
    return QStringLiteral("Connect through the service's tunnel with one of the orders.");
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
        finish(CtlExit::usage, QStringLiteral("--order is required (see corvanectl orders)"));
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
            finish(CtlExit::usage, QStringLiteral("no province %1: give a name of the province "
                                                  "list or a number from 0 to %2")
                                       .arg(province)
                                       .arg(names.size() - 1));
            return std::nullopt;
        }
    }
    const QString dedup = parser.value(kDedup);
    if (!dedup.isEmpty() && dedup != QLatin1StringView("none") &&
        dedup != QLatin1StringView("24h")) {
        finish(CtlExit::usage, QStringLiteral("--dedup takes none or 24h"));
        return std::nullopt;
    }
    choices.nd = dedup == QLatin1StringView("24h") ? 1 : 0;
    const QString abnormal = parser.value(kAbnormalIp);
    if (!abnormal.isEmpty() && abnormal != QLatin1StringView("on") &&
        abnormal != QLatin1StringView("off")) {
        finish(CtlExit::usage, QStringLiteral("--abnormal-ip takes on or off"));
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
                m_choices.wait ? QStringLiteral("the tunnel and its public address")
                               : QStringLiteral("the tunnel to start"),
                m_signIn);
    session().snapshot([this](const TunnelSession::Snapshot &snapshot) {
        if (snapshot.status != VPNStatus::off) {
            finish(CtlExit::tunnelFailed,
                   QStringLiteral("the tunnel is %1 already: corvanectl change-ip for a new "
                                  "address, corvanectl disconnect to stop it")
                       .arg(vpnStatusName(snapshot.status)));
            return;
        }
        m_signIn->fetch([this](const std::shared_ptr<SCOrderContent> &orders) { connect(orders); },
                        [this](CtlExit code, const QString &message) { finish(code, message); });
    });
}

void ConnectCommand::connect(const std::shared_ptr<SCOrderContent> &orders)
{
    std::shared_ptr<SCOrder> order;
    for (const OrderChoice &choice : orderChoices(*orders)) {
        if (choice.order->orderId == m_choices.orderId)
            order = choice.order;
    }
    if (!order) {
        finish(CtlExit::usage,
               QStringLiteral("no order %1 among this customer's orders (see corvanectl orders)")
                   .arg(m_choices.orderId));
        return;
    }
    VpnManager &manager = session().manager();
    manager.nd = m_choices.nd;
    manager.sip = m_choices.sip;
    session().onStatusChanged([this](VPNStatus status) { follow(status); });
    session().road().toggleLater(order, m_choices.provinceIndex,
                                 [this](TunnelRoad::Toggle) { m_started = true; });
}

void ConnectCommand::follow(VPNStatus status)
{
    if (!m_started || isFinished())
        return;
    // The manager has logged the reason on the line before.
    if (session().manager().connectFailure) {
        finish(CtlExit::tunnelFailed,
               QStringLiteral("the tunnel could not be started (the line above says why)"));
        return;
    }
    if (status == VPNStatus::connecting || status == VPNStatus::on) {
        m_sawProgress = true;
        if (!m_choices.wait) {
            finish(CtlExit::done, TunnelTexts::connecting());
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
               QStringLiteral("the tunnel went down before it came up; the tunnel helper's log "
                              "in $XDG_RUNTIME_DIR/corvane/ says why"));
}

} // namespace corvane
