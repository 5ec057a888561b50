#include "screens/home/SCHomeViewController.h"

#include "core/home/AuthString.h"
#include "core/home/ChoiceTexts.h"
#include "core/home/OrderTexts.h"
#include "core/province/ProvinceFile.h"
#include "core/state/LocalState.h"
#include "core/vpn/TunnelTexts.h"
#include "core/vpn/VpnManager.h"
#include "platform/log/Log.h"
#include "platform/notification/NotificationCenter.h"
#include "platform/scheduling/Scheduler.h"
#include "screens/LocalProxyLine.h"
#include "screens/home/SCHomeClient.h"
#include "screens/province/SCListClient.h"
#include "screens/province/SCListViewController.h"
#include "ui/common/Helpers.h"
#include "ui/common/ScrollingColumn.h"
#include "ui/feedback/toast/ShowToast.h"
#include "ui/shell/ScreenNavigation.h"
#include "ui/toolkit/ActionSheet.h"
#include "ui/toolkit/LayoutConstraint.h"
#include "ui/toolkit/NavigationController.h"
#include "ui/toolkit/RowButton.h"
#include "ui/toolkit/ScreenFactory.h"
#include "ui/toolkit/Switch.h"
#include "ui/toolkit/UserInteraction.h"
#include "ui/toolkit/ViewAnimation.h"

#include "ui_SCHomeViewController.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>

namespace corvane {

namespace {
constexpr int kTallBarHeight = 88;
constexpr int kBarHeight = 64;
constexpr int kAreaOffset = 50;
} // namespace

SCHomeViewController::SCHomeViewController(QWidget *parent) : SCBaseViewController(parent)
{
    setTitle(QStringLiteral("首页"));
    NotificationCenter::shared().addObserver(kProxyServiceVPNStatusNotification, this, [this] {
        onVPNStatusChanged(VpnManager::shared().vpnStatus());
    });
    // A change asked for elsewhere (the tray) shows here as one from the button does.
    connect(&TunnelSequencer::shared(), &TunnelSequencer::stateChanged, this,
            [this](TunnelSequencer::State state) {
                if (!m_ui)
                    return;
                if (state == TunnelSequencer::State::reconnecting) {
                    showIPArea(false);
                    setConnectTitle(TunnelTexts::reconnecting());
                }
                if (state != TunnelSequencer::State::switching)
                    return;
                showIPArea(false);
                setConnectTitle(TunnelTexts::switching());
            });
}

SCHomeViewController::~SCHomeViewController()
{
    // A status announced while the widgets below are torn down must not reach this screen.
    NotificationCenter::shared().removeObservers(this);
    // Its choices go with it: a tray or a later screen must not connect with them.
    const std::optional<TunnelRequest> &request = TunnelSequencer::shared().request();
    if (request && request->isService())
        TunnelSequencer::shared().choose(std::nullopt);
}

SCHomeClient &SCHomeViewController::client()
{
    if (!m_client)
        m_client = std::make_unique<SCHomeClient>(*this);
    return *m_client;
}

void SCHomeViewController::viewDidLoad()
{
    SCBaseViewController::viewDidLoad();
    m_ui = std::make_unique<Ui::SCHomeViewController>();
    m_ui->setupUi(this);
    // The scroll area fills its column in the default grey, which would set the form off from
    // the connect button pinned below it on the screen's own colour.
    ScrollingColumn::wrap(m_ui->content)->widget()->setAutoFillBackground(false);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, hexColor(0xF4F5F9));
    setPalette(colours);
    IPLbl = outlet<QLabel>(QStringLiteral("IPLbl"));
    addressLbl = outlet<QLabel>(QStringLiteral("addressLbl"));
    changeIPBtn = outlet<QPushButton>(QStringLiteral("changeIPBtn"));
    orderLbl = outlet<QLabel>(QStringLiteral("orderLbl"));
    provinceLbl = outlet<QLabel>(QStringLiteral("provinceLbl"));
    duplicateLbl = outlet<QLabel>(QStringLiteral("duplicateLbl"));
    abnormalSwitch = outlet<Switch>(QStringLiteral("abnormalSwitch"));
    // The choices a screen starts with; the layout leaves these texts to the table.
    m_ui->duplicateRowCaptionLbl->setText(ChoiceTexts::deduplicationTitle());
    if (provinceLbl)
        provinceLbl->setText(ChoiceTexts::anyProvince());
    if (duplicateLbl)
        duplicateLbl->setText(ChoiceTexts::deduplication(0));
    connectBtn = outlet<QPushButton>(QStringLiteral("connectBtn"));
    residueLbl = outlet<QLabel>(QStringLiteral("residueLbl"));
    proxyLbl = new LocalProxyLine(m_ui->ipArea);
    m_ui->ipLayout->insertWidget(m_ui->ipLayout->indexOf(m_ui->addressLbl) + 1, proxyLbl);
    // Reached from the keyboard where it is seen: before the change of IP.
    QWidget::setTabOrder(m_ui->abnormalSwitch, proxyLbl);
    navHeight = new LayoutConstraint(m_ui->navArea, LayoutConstraint::Attribute::Height, this);
    navHeight->setObjectName(QStringLiteral("navHeight"));
    ipTop = new LayoutConstraint(m_ui->ipArea, LayoutConstraint::Attribute::TopMargin, this);
    ipTop->setObjectName(QStringLiteral("ipTop"));

    navHeight->setConstant(kIsTallScreen() ? kTallBarHeight : kBarHeight);
    ipTop->setConstant(0);
    for (QWidget *view : {static_cast<QWidget *>(IPLbl), static_cast<QWidget *>(addressLbl),
                          static_cast<QWidget *>(changeIPBtn)}) {
        if (view)
            setAlpha(view, 0.0);
    }
    if (changeIPBtn) {
        // Invisible, it must take neither clicks nor focus.
        changeIPBtn->setEnabled(false);
        connect(changeIPBtn, &QPushButton::clicked, this, &SCHomeViewController::changeIP);
    }
    if (connectBtn) {
        setConnectTitle(TunnelTexts::buttonTitle(VPNStatus::off));
        connect(connectBtn, &QPushButton::clicked, this, [this] { connectVPN(connectBtn); });
    }
    connect(m_ui->orderRow, &RowButton::clicked, this, &SCHomeViewController::selectedOrder);
    connect(m_ui->provinceRow, &RowButton::clicked, this, &SCHomeViewController::selectedProvince);
    connect(m_ui->duplicateRow, &RowButton::clicked, this, &SCHomeViewController::settingDuplicate);
    if (abnormalSwitch) {
        connect(abnormalSwitch, &Switch::toggled, this,
                &SCHomeViewController::abnormalSwitchAction);
    }
    if (residueLbl)
        residueLbl->hide();
    describeRows();
    publishChoices();
    // The tunnel may already be up (another window or corvanectl started it): show it as it is,
    // not as off until its next change.
    onVPNStatusChanged(VpnManager::shared().vpnStatus());
}

void SCHomeViewController::viewWillAppear(bool animated)
{
    SCBaseViewController::viewWillAppear(animated);
    if (NavigationController *navigation = navigationController())
        navigation->setNavigationBarHidden(true, animated);
}

void SCHomeViewController::viewWillDisappear(bool animated)
{
    SCBaseViewController::viewWillDisappear(animated);
    if (NavigationController *navigation = navigationController())
        navigation->setNavigationBarHidden(false, animated);
}

void SCHomeViewController::selectedOrder()
{
    const std::shared_ptr<SCOrderContent> content = currentOrderContent();
    if (!content)
        return;
    if (content->orderInfoList.isEmpty()) {
        sc_showToast(this, QStringLiteral("暂无订单信息"));
        return;
    }
    auto *sheet = new ActionSheet();
    for (const OrderChoice &choice : orderChoices(*content)) {
        sheet->addAction(AlertAction{choice.title, AlertAction::Style::Default,
                                     weakly(this, [choice](SCHomeViewController &self) {
                                         self.chooseOrder(choice.title, choice.order);
                                     })});
    }
    sheet->addAction(AlertAction{QStringLiteral("取消"), AlertAction::Style::Cancel, {}});
    sheet->present(this, true);
}

void SCHomeViewController::chooseOrder(const QString &title, const std::shared_ptr<SCOrder> &order)
{
    if (orderLbl)
        orderLbl->setText(title);
    currentOrder = order;
    refreshResidue();
    describeRows();
    publishChoices();
}

void SCHomeViewController::refreshResidue()
{
    if (!currentOrder || !residueLbl)
        return;
    // An order with nothing to tell (a trial order) must not show what another order had left.
    const std::optional<QString> residue = residueText(*currentOrder);
    if (residue)
        residueLbl->setText(*residue);
    else
        residueLbl->clear();
    residueLbl->setVisible(residue && !residue->isEmpty());
}

void SCHomeViewController::selectedProvince()
{
    std::unique_ptr<ViewController> screen(
        ScreenFactory::named(QStringLiteral("Main")).instantiate(QStringLiteral("list")));
    auto *list = qobject_cast<SCListViewController *>(screen.get());
    if (!list)
        return;
    list->setChooseClick(this);
    list->client().selectedIndex = pid;
    sc_pushViewController(this, screen.release(), true);
}

void SCHomeViewController::didChooseProvince(const QString &name, qint64 index)
{
    if (provinceLbl)
        provinceLbl->setText(name);
    pid = index;
    describeRows();
    publishChoices();
}

void SCHomeViewController::settingDuplicate()
{
    auto *sheet = new ActionSheet(ChoiceTexts::deduplicationTitle());
    for (const qint64 nd : {0, 1}) {
        sheet->addAction(AlertAction{ChoiceTexts::deduplication(nd), AlertAction::Style::Default,
                                     weakly(this, [nd](SCHomeViewController &self) {
                                         self.chooseDuplicate(ChoiceTexts::deduplication(nd), nd);
                                     })});
    }
    sheet->addAction(AlertAction{QStringLiteral("取消"), AlertAction::Style::Cancel, {}});
    sheet->present(this, true);
}

void SCHomeViewController::chooseDuplicate(const QString &title, qint64 nd)
{
    if (duplicateLbl)
        duplicateLbl->setText(title);
    VpnManager::shared().nd = nd;
    describeRows();
    publishChoices();
}

void SCHomeViewController::abnormalSwitchAction()
{
    if (abnormalSwitch)
        VpnManager::shared().sip = abnormalSwitch->isOn() ? 0 : 1;
    publishChoices();
}

void SCHomeViewController::publishChoices()
{
    const VpnManager &manager = VpnManager::shared();
    TunnelSequencer::shared().choose(currentOrder
                                         ? std::optional(TunnelRequest{TunnelRequest::Service{
                                               currentOrder, pid, manager.nd, manager.sip}})
                                         : std::nullopt);
}

void SCHomeViewController::connectVPN(QAbstractButton *sender)
{
    if (!currentOrder) {
        sc_showToast(this, QStringLiteral("请选择订单"));
        return;
    }
    const QPointer<QAbstractButton> button(sender);
    const bool stepping = TunnelSequencer::shared().toggle(
        weakly(this, [button](SCHomeViewController &self, TunnelSequencer::Toggle toggle) {
            self.m_awaitingConnect = toggle == TunnelSequencer::Toggle::connecting;
            if (self.m_awaitingConnect)
                self.m_tunnelOrderKnown = true;
            if (toggle == TunnelSequencer::Toggle::disconnecting)
                self.setConnectTitle(TunnelTexts::disconnecting());
            if (button)
                setUserInteractionEnabled(button, true);
        }));
    if (!stepping)
        return;
    setConnectTitle(VpnManager::shared().vpnStatus() == VPNStatus::off
                        ? TunnelTexts::connecting()
                        : TunnelTexts::disconnecting());
    if (button)
        setUserInteractionEnabled(button, false);
}

bool SCHomeViewController::isConnectPending() const
{
    return TunnelSequencer::shared().state() == TunnelSequencer::State::stepping;
}

void SCHomeViewController::pressConnect()
{
    connectVPN(connectBtn);
}

void SCHomeViewController::changeIP()
{
    // A reconnect with another order than the running tunnel's would change more than the IP.
    if (!currentOrder || !m_tunnelOrderKnown) {
        sc_showToast(this, QStringLiteral("无法切换IP：不知道当前隧道使用的订单"));
        return;
    }
    // Hidden during the change, the button hands the keyboard to the next one (disconnect);
    // it takes it back when the change is done.
    m_refocusChangeIP = changeIPBtn && window()->focusWidget() == changeIPBtn;
    if (!TunnelSequencer::shared().changeAddress())
        m_refocusChangeIP = false;
}

void SCHomeViewController::onVPNStatusChanged(VPNStatus now)
{
    const VpnManager &manager = VpnManager::shared();
    if (proxyLbl)
        proxyLbl->setPorts(manager.localProxy());
    if (now != VPNStatus::off)
        m_awaitingConnect = false;
    if (m_awaitingConnect && manager.connectFailure) {
        m_awaitingConnect = false;
        // The status did not move, so only the reason tells the customer why nothing happens.
        sc_showToast(this, TunnelTexts::connectFailure(*manager.connectFailure));
        status = now;
        applyStatus();
        return;
    }
    if (now == status)
        return;
    // A tunnel this screen connected went down by itself: the helper said why.
    if (now == VPNStatus::off && m_tunnelOrderKnown && manager.endReason)
        sc_showToast(this, TunnelTexts::endReason(*manager.endReason));
    if (now == VPNStatus::off && status == VPNStatus::on &&
        TunnelSequencer::shared().isReconnecting())
        sc_showToast(this, TunnelTexts::reconnecting());
    status = now;
    Log::info(QStringLiteral("设置状态：") + vpnStatusName(status));
    applyStatus();
}

void SCHomeViewController::applyStatus()
{
    const bool isChange = TunnelSequencer::shared().isSwitching();
    // Off during a change is its second half: the sequencer connects again a step later.
    if (status == VPNStatus::off && isChange) {
        m_awaitingConnect = true;
        setConnectTitle(TunnelTexts::connecting());
        if (connectBtn)
            setUserInteractionEnabled(connectBtn, false);
        return;
    }
    if (connectBtn && !isConnectPending())
        setUserInteractionEnabled(connectBtn, true);
    // Off while reconnecting: the button stops the next try.
    if (status == VPNStatus::off && TunnelSequencer::shared().isReconnecting()) {
        showIPArea(false);
        setConnectTitle(TunnelTexts::reconnecting());
        return;
    }
    if (status == VPNStatus::off) {
        m_tunnelOrderKnown = false;
    } else if (status == VPNStatus::on && !m_tunnelOrderKnown) {
        // Started elsewhere (corvanectl, an earlier window): show what it runs with.
        VpnManager::shared().readConfiguration(
            weakly(this, [](SCHomeViewController &self, const QVariantMap &configuration) {
                self.adoptRunningTunnel(configuration.value(QStringLiteral("ss_auth")).toString());
            }));
    }
    if (status == VPNStatus::off || status == VPNStatus::on)
        showIPArea(status == VPNStatus::on);
    setConnectTitle(TunnelTexts::buttonTitle(status, isChange));
    if (status == VPNStatus::off)
        m_refocusChangeIP = false;
    else if (status == VPNStatus::on && std::exchange(m_refocusChangeIP, false) && changeIPBtn)
        changeIPBtn->setFocus(Qt::OtherFocusReason);
}

void SCHomeViewController::adoptRunningTunnel(const QString &auth)
{
    const std::optional<AuthStringFields> fields = parseAuthString(auth);
    const std::shared_ptr<SCOrderContent> content = currentOrderContent();
    if (!fields || !content || status != VPNStatus::on)
        return;
    for (const std::shared_ptr<SCOrder> &order : std::as_const(content->orderInfoList)) {
        const std::optional<QString> title =
            order && order->orderId == fields->orderId ? orderTitle(*order) : std::nullopt;
        if (!title)
            continue;
        m_tunnelOrderKnown = true;
        chooseOrder(*title, order);
        const qint64 index = fields->provinceIndex.value_or(-1);
        const QStringList names = ProvinceFile::load().value_or(QStringList());
        didChooseProvince(index < 0 ? ChoiceTexts::anyProvince()
                                    : names.value(index, QString::number(index)),
                          index);
        chooseDuplicate(ChoiceTexts::deduplication(fields->nd), fields->nd);
        if (abnormalSwitch)
            abnormalSwitch->setOn(fields->sip == 0);
        VpnManager::shared().sip = fields->sip;
        return;
    }
    Log::warning(QStringLiteral("The running tunnel's order %1 is not one of this account's")
                     .arg(fields->orderId));
}

void SCHomeViewController::showIPArea(bool show)
{
    const double alpha = show ? 1.0 : 0.0;
    const auto apply = [this, show, alpha] {
        if (ipTop)
            ipTop->setConstant(show ? kAreaOffset : 0);
        for (QWidget *view : {static_cast<QWidget *>(IPLbl), static_cast<QWidget *>(addressLbl),
                              static_cast<QWidget *>(changeIPBtn)}) {
            if (view)
                setAlpha(view, alpha);
        }
    };
    if (changeIPBtn)
        changeIPBtn->setEnabled(show);
    if (TunnelSequencer::shared().isSwitching())
        apply();
    else
        ViewAnimation::animate(kAreaAnimation, apply);
    if (show) {
        if (IPLbl)
            IPLbl->setText(QStringLiteral("IP解析中"));
        if (addressLbl)
            addressLbl->clear();
        delay(kStepDelay, this, [this] { startLookup(); });
    } else {
        if (IPLbl)
            IPLbl->clear();
        if (addressLbl)
            addressLbl->clear();
    }
    refreshResidue();
}

void SCHomeViewController::startLookup()
{
    const QPair<QString, QString> placeholders = client().lookupPublicAddress();
    if (IPLbl)
        IPLbl->setText(placeholders.first);
    if (addressLbl)
        addressLbl->setText(placeholders.second);
    VpnManager::shared().ip = placeholders.first;
}

void SCHomeViewController::setConnectTitle(const QString &title)
{
    if (connectBtn)
        connectBtn->setText(title);
}

void SCHomeViewController::describeRows()
{
    // Each row speaks as its caption and current choice, as a sighted customer reads it.
    const auto describe = [](QWidget *row, const QString &caption, const QLabel *value) {
        if (row && value)
            row->setAccessibleName(caption + QStringLiteral("：") + value->text());
    };
    describe(m_ui->orderRow, QStringLiteral("订单"), orderLbl);
    describe(m_ui->provinceRow, QStringLiteral("省份"), provinceLbl);
    describe(m_ui->duplicateRow, ChoiceTexts::deduplicationTitle(), duplicateLbl);
}

} // namespace corvane
