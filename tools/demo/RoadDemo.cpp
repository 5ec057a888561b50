#include "app/RoadDemo.h"

#include "core/model/SCOrder.h"
#include "core/vpn/VpnManager.h"
#include "screens/home/SCHomeViewController.h"
#include "screens/login/SCLoginViewController.h"
#include "screens/province/SCListClient.h"
#include "screens/province/SCListViewController.h"
#include "ui/feedback/toast/ToastHost.h"
#include "ui/toolkit/ActionSheet.h"
#include "ui/toolkit/NavigationController.h"
#include "ui/toolkit/TableView.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace corvane {

namespace {

constexpr int kPollMs = 50;
constexpr qint64 kStepTimeoutMs = 20000;
const QString kAddressPrefix = QStringLiteral("当前IP：");
const QString kWrongPasswordToast = QStringLiteral("密码错误，请重新输入");
// Guangdong, by its place in the province list.
constexpr int kProvince = 18;

void printLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

bool showsToast(QWidget *view, const QString &text)
{
    ToastHost *host = ToastHost::find(view);
    if (!host)
        return false;
    for (QWidget *toast : host->activeToasts()) {
        for (const QLabel *label : toast->findChildren<QLabel *>()) {
            if (label->text() == text)
                return true;
        }
    }
    return false;
}

} // namespace

RoadDemo::RoadDemo(SCLoginViewController *login, QString mobile, QString password, QObject *parent)
    : QObject(parent), m_login(login), m_mobile(std::move(mobile)), m_password(std::move(password)),
      m_poll(new QTimer(this))
{
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, &RoadDemo::poll);
    connect(&VpnManager::shared(), &VpnManager::statusChanged, this, &RoadDemo::statusChanged);
}

RoadDemo::~RoadDemo() = default;

SCHomeViewController *RoadDemo::home() const
{
    auto *navigation =
        m_login ? qobject_cast<NavigationController *>(m_login->presentedViewController())
                : nullptr;
    if (!navigation || navigation->viewControllers().isEmpty())
        return nullptr;
    return qobject_cast<SCHomeViewController *>(navigation->viewControllers().first());
}

QString RoadDemo::shownAddress() const
{
    SCHomeViewController *screen = home();
    if (!screen || !screen->IPLbl || screen->isChange ||
        VpnManager::shared().vpnStatus() != VPNStatus::on)
        return {};
    const QString text = screen->IPLbl->text();
    return text.startsWith(kAddressPrefix) && text.size() > kAddressPrefix.size() ? text
                                                                                  : QString();
}

bool RoadDemo::pickFromSheet(const std::function<bool(const QString &)> &matches)
{
    if (m_picked)
        return true;
    SCHomeViewController *screen = home();
    auto *sheet = screen ? screen->window()->findChild<ActionSheet *>() : nullptr;
    if (!sheet)
        return false;
    for (int i = 0; QPushButton *button = sheet->buttonForAction(i); ++i) {
        if (matches(button->text())) {
            printLine(QStringLiteral("  chose: ") + button->text());
            sheet->choose(i);
            m_picked = true;
            return true;
        }
    }
    return false;
}

QList<RoadDemo::Step> RoadDemo::steps()
{
    QList<Step> list;
    list.append(Step{QStringLiteral("sign in as %1 with a wrong password").arg(m_mobile),
                     [this] {
                         m_login->phoneTF->setText(m_mobile);
                         m_login->pwdTF->setText(m_password + QStringLiteral("-wrong"));
                         m_login->loginBtn->click();
                     },
                     [this] { return showsToast(m_login, kWrongPasswordToast); },
                     QStringLiteral("the toast ") + kWrongPasswordToast});
    list.append(Step{QStringLiteral("sign in as %1").arg(m_mobile),
                     [this] {
                         m_login->pwdTF->setText(m_password);
                         m_login->loginBtn->click();
                     },
                     [this] { return home() && home()->isAppeared(); },
                     QStringLiteral("the home screen")});
    list.append(Step{QStringLiteral("choose a bandwidth order"),
                     [this] { home()->selectedOrder(); },
                     [this] {
                         pickFromSheet([](const QString &title) {
                             return title.startsWith(QStringLiteral("带宽订单-"));
                         });
                         return home()->currentOrder && home()->currentOrder->productId == 2;
                     },
                     QStringLiteral("a bandwidth order in the order sheet")});
    list.append(Step{QStringLiteral("choose 24-hour de-duplication, so a new address is new"),
                     [this] { home()->settingDuplicate(); },
                     [this] {
                         pickFromSheet([](const QString &title) {
                             return title == QStringLiteral("24小时去重");
                         });
                         return VpnManager::shared().nd == 1;
                     },
                     QStringLiteral("the de-duplication sheet")});
    list.append(Step{
        QStringLiteral("choose a province"), [this] { home()->selectedProvince(); },
        [this] {
            NavigationController *navigation = home()->navigationController();
            auto *provinces = qobject_cast<SCListViewController *>(navigation->topViewController());
            if (provinces && provinces->isAppeared() && provinces->tableView && !m_picked) {
                provinces->client().didSelectRow(provinces->tableView, IndexPath{1, kProvince});
                printLine(QStringLiteral("  chose: ") + provinces->client().data.value(kProvince));
                m_picked = true;
                provinces->saveCity();
            }
            return home()->pid == kProvince && home()->isAppeared();
        },
        QStringLiteral("the province list")});
    list.append(Step{QStringLiteral("connect"), [this] { home()->connectBtn->click(); },
                     [this] {
                         m_firstAddress = shownAddress();
                         if (m_firstAddress.isEmpty())
                             return false;
                         printLine(QStringLiteral("  public address: ") + m_firstAddress + u' ' +
                                   home()->addressLbl->text());
                         return true;
                     },
                     QStringLiteral("the tunnel to come up and the public address")});
    list.append(Step{QStringLiteral("change IP"), [this] { home()->changeIPBtn->click(); },
                     [this] {
                         const QString address = shownAddress();
                         if (address.isEmpty())
                             return false;
                         if (address == m_firstAddress) {
                             fail(QStringLiteral("the address did not change: ") + address);
                             return false;
                         }
                         printLine(QStringLiteral("  new public address: ") + address + u' ' +
                                   home()->addressLbl->text());
                         return true;
                     },
                     QStringLiteral("the tunnel to come back with a new address")});
    list.append(Step{QStringLiteral("disconnect"), [this] { home()->connectBtn->click(); },
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
    m_picked = false;
    m_deadline = QDateTime::currentMSecsSinceEpoch() + kStepTimeoutMs;
    if (!m_login) {
        fail(QStringLiteral("the sign-in screen is gone"));
        return;
    }
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
    // The check itself may have given up.
    if (m_current >= m_steps.size())
        return;
    if (QDateTime::currentMSecsSinceEpoch() > m_deadline)
        fail(QStringLiteral("gave up after %1 s waiting for %2")
                 .arg(kStepTimeoutMs / 1000)
                 .arg(m_steps.at(m_current).waitingFor));
}

void RoadDemo::statusChanged(VPNStatus status)
{
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
