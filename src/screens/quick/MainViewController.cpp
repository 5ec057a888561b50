#include "screens/quick/MainViewController.h"

#include "core/network/SCBaseClient.h"
#include "core/vpn/CustomRelay.h"
#include "core/vpn/QuickRelay.h"
#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/TunnelTexts.h"
#include "core/vpn/VpnManager.h"
#include "platform/notification/NotificationCenter.h"
#include "platform/scheduling/Scheduler.h"
#include "screens/LocalProxyLine.h"
#include "ui/common/Helpers.h"
#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/pulse/PulseHalo.h"
#include "ui/feedback/pulse/PulseView.h"
#include "ui/feedback/toast/ShowToast.h"
#include "ui/morphing/MorphingLabel.h"
#include "ui/toolkit/UserInteraction.h"

#include "ui_MainViewController.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPushButton>
#include <algorithm>

namespace corvane {

namespace {
constexpr auto kPulseCheckDelay = std::chrono::seconds(1);
// The title shrinks to fit the button down to this share of its layout size.
constexpr qreal kMinimumTitleScale = 0.5;
constexpr qreal kTitlePadding = 16;

void startConnectPulse(QWidget *button, const QColor &backdrop)
{
    PulseView::startPulse(button, Qt::white, PulseView::radar);
    // The button's face is a solid colour in every state, and the screen's plain background
    // lies beneath it.
    if (PulseHalo *halo = PulseView::externalBorderLayer(button)) {
        halo->setOpaqueView(true);
        halo->setBackdrop(backdrop);
    }
}
} // namespace

MainViewController::MainViewController(QWidget *parent) : ViewController(parent)
{
    NotificationCenter::shared().addObserver(kProxyServiceVPNStatusNotification, this, [this] {
        onVPNStatusChanged(VpnManager::shared().vpnStatus());
    });
}

MainViewController::~MainViewController()
{
    // A status announced while the widgets below are torn down must not reach this screen.
    NotificationCenter::shared().removeObservers(this);
}

void MainViewController::viewDidLoad()
{
    ViewController::viewDidLoad();
    m_ui = std::make_unique<Ui::MainViewController>();
    m_ui->setupUi(this);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, hexColor(0x0F1B2D));
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);

    connectBtn = outlet<QPushButton>(QStringLiteral("connect"));
    content = outlet<MorphingLabel>(QStringLiteral("content"));
    if (connectBtn) {
        // The halo takes the button's round shape from its layer.
        ViewDecoration::of(connectBtn)->setCornerRadius(connectBtn->minimumWidth() / 2.0);
        m_connectFont = connectBtn->font();
        connectBtn->installEventFilter(this);
        QObject::connect(connectBtn, &QAbstractButton::clicked, this, [this] { clickConnect(); });
        fitConnectTitle();
    }
    // The light status bar style has nothing to restyle on the desktop: the window frame is
    // the system's.
    if (content)
        content->setMorphingEffect(MorphingEffect::evaporate);
    proxyLbl = new LocalProxyLine(this);
    m_ui->mainLayout->insertWidget(m_ui->mainLayout->indexOf(m_ui->content) + 1, proxyLbl);
    proxyLbl->setPorts(VpnManager::shared().localProxy());

    QObject::connect(&TunnelSequencer::shared(), &TunnelSequencer::stateChanged, this,
                     [this] { onVPNStatusChanged(VpnManager::shared().vpnStatus()); });

    auto *model = new FFSSModel(this);
    QuickRelay::describeBuiltIn(*model);
    m_models.append(model);
}

void MainViewController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    delay(kPulseCheckDelay, this, [this] {
        if (!connectBtn)
            return;
        if (VpnManager::shared().vpnStatus() == VPNStatus::on)
            startConnectPulse(connectBtn, palette().color(QPalette::Window));
        else
            PulseView::stopPulse(connectBtn);
    });
}

void MainViewController::onVPNStatusChanged(VPNStatus status)
{
    // A tunnel that went down by itself: the helper said why (the system-wide mode could not be
    // had, the relay could not be reached), and nothing else here would tell.
    const VpnManager &manager = VpnManager::shared();
    if (status == VPNStatus::off && m_status != VPNStatus::off && manager.endReason)
        sc_showToast(this, TunnelTexts::endReason(*manager.endReason));
    m_status = status;
    // Between off and on the button keeps its title; only the status line follows.
    if (m_status == VPNStatus::off || m_status == VPNStatus::on) {
        m_titleStatus = m_status;
        setConnectTitle(TunnelTexts::buttonTitle(m_status));
    }
    if (content)
        content->setText(TunnelTexts::statusLine(m_status));
    // Off between tries: the button stops the next one.
    if (m_status == VPNStatus::off && TunnelSequencer::shared().isReconnecting()) {
        m_titleStatus = VPNStatus::on;
        setConnectTitle(TunnelTexts::buttonTitle(VPNStatus::on));
        if (content)
            content->setText(TunnelTexts::reconnecting());
    }
    if (proxyLbl)
        proxyLbl->setPorts(VpnManager::shared().localProxy());
    if (m_status == VPNStatus::on && connectBtn)
        startConnectPulse(connectBtn, palette().color(QPalette::Window));
}

void MainViewController::clickConnect()
{
    TunnelSequencer &sequencer = TunnelSequencer::shared();
    // The customer's own relay, where one is set by then, else the built-in one.
    sequencer.choose(CustomRelay::quickConnect());
    const bool stepping =
        sequencer.toggle(weakly(this, [](MainViewController &self, TunnelSequencer::Toggle toggle) {
            if (!self.connectBtn)
                return;
            if (toggle == TunnelSequencer::Toggle::disconnecting)
                PulseView::stopPulse(self.connectBtn);
            setUserInteractionEnabled(self.connectBtn, true);
        }));
    if (!stepping)
        return;
    if (connectBtn)
        setUserInteractionEnabled(connectBtn, false);
    const bool connecting = m_titleStatus == VPNStatus::off;
    if (content) {
        content->setText(
            TunnelTexts::statusLine(connecting ? VPNStatus::connecting : VPNStatus::disconnecting));
    }
}

bool MainViewController::isConnectPending() const
{
    return TunnelSequencer::shared().state() == TunnelSequencer::State::stepping;
}

void MainViewController::pressConnect()
{
    clickConnect();
}

void MainViewController::setConnectTitle(const QString &title)
{
    if (!connectBtn)
        return;
    connectBtn->setText(title);
    fitConnectTitle();
}

void MainViewController::fitConnectTitle()
{
    const qreal available = connectBtn->width() - 2 * kTitlePadding;
    QFont font = m_connectFont;
    const qreal natural = QFontMetricsF(font).horizontalAdvance(connectBtn->text());
    if (available > 0 && natural > available) {
        const qreal scale = std::max(kMinimumTitleScale, available / natural);
        if (m_connectFont.pixelSize() > 0)
            font.setPixelSize(std::max(1, qRound(m_connectFont.pixelSize() * scale)));
        else
            font.setPointSizeF(m_connectFont.pointSizeF() * scale);
    }
    connectBtn->setFont(font);
}

bool MainViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == connectBtn && event->type() == QEvent::Resize)
        fitConnectTitle();
    return ViewController::eventFilter(watched, event);
}

} // namespace corvane
