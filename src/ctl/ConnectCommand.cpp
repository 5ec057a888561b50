#include "ctl/ConnectCommand.h"

#include "core/home/ChoiceTexts.h"
#include "core/home/OrderTexts.h"
#include "core/province/ProvinceFile.h"
#include "core/vpn/VpnManager.h"
#include "ctl/StoredSignIn.h"
#include "launch/LocaleText.h"

namespace corvane {

namespace {
const QCommandLineOption
    kOrder(QStringLiteral("order"),
           LocaleText::text(QStringLiteral("connect.the-order-to-connect-with")),
           QStringLiteral("id"));
const QCommandLineOption kProvince(
    QStringLiteral("province"),
    // The Chinese text names the word --province takes for any; the English one does not.
    LocaleText::text(QStringLiteral("connect.where-the-exit-address-comes"))
        .replace(QStringLiteral("%1"), ChoiceTexts::anyProvince(Localization::Language::chinese)),
    QStringLiteral("name|index"));
const QCommandLineOption kDedup(QStringLiteral("dedup"),
                                LocaleText::text(QStringLiteral("connect.none-or-24h-never-an")),
                                QStringLiteral("none|24h"));
const QCommandLineOption
    kAbnormalIp(QStringLiteral("abnormal-ip"),
                LocaleText::text(QStringLiteral("connect.the-abnormal-ip-switch-default")),
                QStringLiteral("on|off"));
const QCommandLineOption
    kWait(QStringLiteral("wait"),
          LocaleText::text(QStringLiteral("connect.return-once-the-tunnel-is")));
const QCommandLineOption
    kJson(QStringLiteral("json"),
          LocaleText::text(QStringLiteral("change-ip.with-wait-print-the-status")));
} // namespace

ConnectCommand::ConnectCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("connect"), store, parent), m_signIn(new StoredSignIn(this))
{}

ConnectCommand::~ConnectCommand() = default;

QString ConnectCommand::summary() const
{
    return LocaleText::text(QStringLiteral("connect.connect-through-the-services-tunnel"));
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
               LocaleText::text(QStringLiteral("connect.order-is-required-see-corvanectl")));
        return std::nullopt;
    }
    if (parser.isSet(kProvince)) {
        const QString province = parser.value(kProvince);
        const QStringList names = ProvinceFile::load().value_or(QStringList());
        bool isNumber = false;
        const qint64 index = province.toLongLong(&isNumber);
        if (province == ChoiceTexts::anyProvince(Localization::Language::chinese) ||
            (isNumber && index == -1))
            choices.provinceIndex = -1;
        else if (isNumber && index >= 0 && index < names.size())
            choices.provinceIndex = index;
        else if (!isNumber && names.contains(province))
            choices.provinceIndex = names.indexOf(province);
        else {
            finish(CtlExit::usage, LocaleText::text(QStringLiteral("connect.no-province-1-give-a"))
                                       .arg(province)
                                       .arg(names.size() - 1));
            return std::nullopt;
        }
    }
    const QString dedup = parser.value(kDedup);
    if (!dedup.isEmpty() && dedup != QLatin1StringView("none") &&
        dedup != QLatin1StringView("24h")) {
        finish(CtlExit::usage, LocaleText::text(QStringLiteral("connect.dedup-takes-none-or-24h")));
        return std::nullopt;
    }
    choices.nd = dedup == QLatin1StringView("24h") ? 1 : 0;
    const QString abnormal = parser.value(kAbnormalIp);
    if (!abnormal.isEmpty() && abnormal != QLatin1StringView("on") &&
        abnormal != QLatin1StringView("off")) {
        finish(CtlExit::usage, LocaleText::text(QStringLiteral("connect.abnormal-ip-takes-on-or")));
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
    giveUpAfter(timeout(parser),
                m_choices.wait
                    ? LocaleText::text(QStringLiteral("connect.the-tunnel-and-its-public"))
                    : LocaleText::text(QStringLiteral("connect.the-tunnel-to-start")),
                m_signIn);
    session().snapshot([this](const TunnelSession::Snapshot &snapshot) {
        if (snapshot.status != VPNStatus::off) {
            finish(CtlExit::tunnelFailed,
                   LocaleText::text(QStringLiteral("connect.the-tunnel-is-1-already"))
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
        finish(CtlExit::usage, LocaleText::text(QStringLiteral("connect.no-order-1-among-this"))
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
               LocaleText::text(QStringLiteral("connect.the-tunnel-could-not-be")));
        return;
    }
    if (status == VPNStatus::connecting || status == VPNStatus::on) {
        m_sawProgress = true;
        if (!m_choices.wait && (status == VPNStatus::on || !waitsForTheDevice())) {
            finish(CtlExit::done, LocaleText::text(QStringLiteral("connect.ing")));
            return;
        }
    }
    if (status == VPNStatus::on && m_choices.wait) {
        reportAddress(m_choices.json);
        m_started = false;
        return;
    }
    if (status == VPNStatus::off && m_sawProgress && !endedForSystemWide())
        finish(CtlExit::tunnelFailed,
               LocaleText::text(QStringLiteral("connect.the-tunnel-went-down-before")));
}

} // namespace corvane
