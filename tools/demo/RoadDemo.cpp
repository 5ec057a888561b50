#include "RoadDemo.h"

#include "ProxiedFetch.h"
#include "ScreenReader.h"
#include "core/home/ChoiceTexts.h"
#include "core/vpn/TunnelTexts.h"
#include "core/vpn/VpnManager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>

namespace corvane {

namespace {

constexpr int kPollMs = 50;
constexpr qint64 kStepTimeoutMs = 20000;
const QString kWrongPasswordToast = QStringLiteral("密码错误，请重新输入");
const QString kProvince = QStringLiteral("广东");

void printLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

bool shows(QAccessible::Role role, const QString &name)
{
    return ScreenReader::find(role, name) != nullptr;
}

std::function<bool(const QString &)> startsWith(const QString &prefix)
{
    return [prefix](const QString &name) { return name.startsWith(prefix); };
}

std::function<bool(const QString &)> is(const QString &text)
{
    return [text](const QString &name) { return name == text; };
}

void typeInto(const QString &field, const QString &text)
{
    if (QAccessibleInterface *found = ScreenReader::find(QAccessible::EditableText, field))
        ScreenReader::type(found, text);
}

void press(const QString &button)
{
    ScreenReader::press(ScreenReader::find(QAccessible::Button, button));
}

} // namespace

RoadDemo::RoadDemo(QString mobile, QString password, QUrl page, QObject *parent)
    : QObject(parent), m_mobile(std::move(mobile)), m_password(std::move(password)),
      m_poll(new QTimer(this)), m_page(std::move(page)), m_fetch(new ProxiedFetch(this))
{
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, &RoadDemo::poll);
    connect(&VpnManager::shared(), &VpnManager::statusChanged, this, &RoadDemo::statusChanged);
}

RoadDemo::~RoadDemo() = default;

bool RoadDemo::pressOnce(const std::function<bool(const QString &)> &matches, bool announce)
{
    if (m_pressed)
        return true;
    QAccessibleInterface *button = ScreenReader::find(QAccessible::Button, matches);
    if (!button || !ScreenReader::press(button))
        return false;
    if (announce)
        printLine(QStringLiteral("  chose: ") + ScreenReader::name(button));
    m_pressed = true;
    return true;
}

QString RoadDemo::shownAddress() const
{
    // Between the tunnel's coming up and the lookup's answer the label reads a placeholder, and
    // during a change the button reads anything but "disconnect".
    static const QRegularExpression address(QStringLiteral("^当前IP：\\d+\\.\\d+\\.\\d+\\.\\d+$"));
    if (!shows(QAccessible::Button, TunnelTexts::buttonTitle(VPNStatus::on)))
        return {};
    QAccessibleInterface *label =
        ScreenReader::find(QAccessible::StaticText,
                           [](const QString &name) { return address.match(name).hasMatch(); });
    if (!label)
        return {};
    const QString place = ScreenReader::name(ScreenReader::next(label, QAccessible::StaticText));
    return place.isEmpty() ? QString() : ScreenReader::name(label) + u' ' + place;
}

bool RoadDemo::fetchedThroughProxy(QString &seen)
{
    if (!m_pressed) {
        QAccessibleInterface *line = ScreenReader::find(
            QAccessible::StaticText, startsWith(QStringLiteral("本地代理 socks5://")));
        const std::optional<quint16> port =
            line ? ProxiedFetch::socksPort(ScreenReader::name(line)) : std::nullopt;
        if (!port)
            return false;
        printLine(QStringLiteral("  ") + ScreenReader::name(line));
        m_fetch->start(m_page, *port);
        m_pressed = true;
        return false;
    }
    if (m_fetch->error()) {
        fail(QStringLiteral("the page did not come through the tunnel: ") + *m_fetch->error());
        return false;
    }
    if (!m_fetch->page())
        return false;
    seen = *m_fetch->page();
    return true;
}

QList<RoadDemo::Step> RoadDemo::steps()
{
    const QString connectTitle = TunnelTexts::buttonTitle(VPNStatus::off);
    QList<Step> list;
    list.append(Step{QStringLiteral("sign in as %1 with a wrong password").arg(m_mobile),
                     [this] {
                         typeInto(QStringLiteral("手机号码"), m_mobile);
                         typeInto(QStringLiteral("密码"), m_password + QStringLiteral("-wrong"));
                         press(QStringLiteral("登录"));
                     },
                     [] { return shows(QAccessible::StaticText, kWrongPasswordToast); },
                     QStringLiteral("the toast ") + kWrongPasswordToast});
    list.append(Step{QStringLiteral("sign in as %1").arg(m_mobile),
                     [this] {
                         typeInto(QStringLiteral("密码"), m_password);
                         press(QStringLiteral("登录"));
                     },
                     [] { return shows(QAccessible::Button, QStringLiteral("订单：请选择订单")); },
                     QStringLiteral("the home screen")});
    list.append(Step{QStringLiteral("choose a bandwidth order"),
                     [] { press(QStringLiteral("订单：请选择订单")); },
                     [this] {
                         pressOnce(startsWith(QStringLiteral("带宽订单-")), true);
                         return ScreenReader::find(QAccessible::Button,
                                                   startsWith(QStringLiteral("订单：带宽订单-"))) !=
                                nullptr;
                     },
                     QStringLiteral("a bandwidth order in the order sheet")});
    list.append(Step{QStringLiteral("choose 24-hour de-duplication, so a new address is new"),
                     [] {
                         ScreenReader::press(ScreenReader::find(
                             QAccessible::Button,
                             startsWith(ChoiceTexts::deduplicationTitle() + QStringLiteral("："))));
                     },
                     [this] {
                         pressOnce(is(ChoiceTexts::deduplication(1)), true);
                         return shows(QAccessible::Button, ChoiceTexts::deduplicationTitle() +
                                                               QStringLiteral("：") +
                                                               ChoiceTexts::deduplication(1));
                     },
                     QStringLiteral("the de-duplication sheet")});
    list.append(Step{
        QStringLiteral("choose a province"),
        [] {
            ScreenReader::press(
                ScreenReader::find(QAccessible::Button, startsWith(QStringLiteral("省份："))));
        },
        [this] {
            if (!m_pressed) {
                if (QAccessibleInterface *row =
                        ScreenReader::find(QAccessible::ListItem, startsWith(kProvince + u'，'))) {
                    ScreenReader::press(row);
                    printLine(QStringLiteral("  chose: ") + kProvince);
                    m_pressed = true;
                }
            }
            if (!m_saved && shows(QAccessible::ListItem, kProvince + QStringLiteral("，已选中"))) {
                press(QStringLiteral("保存"));
                m_saved = true;
            }
            return shows(QAccessible::Button, QStringLiteral("省份：") + kProvince);
        },
        QStringLiteral("the province list")});
    list.append(Step{QStringLiteral("connect"), [connectTitle] { press(connectTitle); },
                     [this] {
                         m_firstAddress = shownAddress();
                         if (m_firstAddress.isEmpty())
                             return false;
                         printLine(QStringLiteral("  public address: ") + m_firstAddress);
                         return true;
                     },
                     QStringLiteral("the tunnel to come up and the public address")});
    const QString fetchTitle =
        QStringLiteral("fetch %1 through the local proxy on the screen").arg(m_page.toString());
    list.append(Step{fetchTitle, [] {},
                     [this] {
                         if (!fetchedThroughProxy(m_firstSeen))
                             return false;
                         printLine(QStringLiteral("  the destination saw: ") + m_firstSeen);
                         return true;
                     },
                     QStringLiteral("the proxy line and the page")});
    list.append(Step{QStringLiteral("change IP"), [] { press(QStringLiteral("切换IP")); },
                     [this] {
                         const QString address = shownAddress();
                         if (address.isEmpty())
                             return false;
                         if (address == m_firstAddress)
                             return false;
                         printLine(QStringLiteral("  new public address: ") + address);
                         return true;
                     },
                     QStringLiteral("the tunnel to come back with a new address")});
    list.append(Step{fetchTitle, [] {},
                     [this] {
                         QString seen;
                         if (!fetchedThroughProxy(seen))
                             return false;
                         printLine(QStringLiteral("  the destination saw: ") + seen);
                         if (seen == m_firstSeen)
                             fail(QStringLiteral("the destination saw the same address again"));
                         return seen != m_firstSeen;
                     },
                     QStringLiteral("the proxy line and the page")});
    list.append(Step{QStringLiteral("disconnect"),
                     [] { press(TunnelTexts::buttonTitle(VPNStatus::on)); },
                     [] { return VpnManager::shared().vpnStatus() == VPNStatus::off; },
                     QStringLiteral("the tunnel to go down")});
    return list;
}

void RoadDemo::start()
{
    m_steps = steps();
    begin(0);
    m_poll->start();
}

void RoadDemo::begin(qsizetype index)
{
    m_current = index;
    if (m_current >= m_steps.size()) {
        printLine(QStringLiteral("demo: done"));
        finish(0);
        return;
    }
    const Step &step = m_steps.at(m_current);
    printLine(QStringLiteral("step %1/%2: ").arg(m_current + 1).arg(m_steps.size()) + step.title);
    m_pressed = false;
    m_saved = false;
    m_deadline = QDateTime::currentMSecsSinceEpoch() + kStepTimeoutMs;
    step.act();
}

void RoadDemo::poll()
{
    if (m_current < 0 || m_current >= m_steps.size())
        return;
    if (m_steps.at(m_current).reached()) {
        begin(m_current + 1);
        return;
    }
    if (QDateTime::currentMSecsSinceEpoch() > m_deadline)
        fail(QStringLiteral("gave up after %1 s waiting for %2")
                 .arg(kStepTimeoutMs / 1000)
                 .arg(m_steps.at(m_current).waitingFor));
}

void RoadDemo::statusChanged(VPNStatus status)
{
    // A connect that cannot start is known at once: waiting out the step would only hide why.
    if (const std::optional<TunnelError> &failure = VpnManager::shared().connectFailure) {
        fail(TunnelTexts::connectFailure(*failure));
        return;
    }
    const QString name = vpnStatusName(status);
    if (name == m_lastStatus)
        return;
    m_lastStatus = name;
    printLine(QStringLiteral("  tunnel: ") + name);
}

void RoadDemo::fail(const QString &reason)
{
    if (m_current < 0 || m_current >= m_steps.size())
        return;
    const QString line =
        QStringLiteral("demo: step \"%1\" failed: %2\n").arg(m_steps.at(m_current).title, reason);
    std::fputs(line.toUtf8().constData(), stderr);
    finish(1);
}

void RoadDemo::finish(int code)
{
    m_poll->stop();
    m_current = m_steps.size();
    QCoreApplication::exit(code);
}

} // namespace corvane
