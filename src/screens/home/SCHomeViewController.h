#pragma once

#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VPNStatus.h"
#include "screens/province/ProvinceProtocol.h"
#include "ui/shell/SCBaseViewController.h"

#include <QPointer>
#include <memory>

class QAbstractButton;
class QLabel;
class QPushButton;

namespace Ui {
class SCHomeViewController;
}

namespace corvane {

class LayoutConstraint;
class LocalProxyLine;
class RowButton;
class SCHomeClient;
class SCOrder;
class Switch;

// The signed-in customer's screen: pick an order, a province, a de-duplication rule and the
// abnormal-IP switch, connect and disconnect, and change the exit address while connected.
// It follows the tunnel only through the status notification, and its steps drive the
// tunnel sequencer.
class SCHomeViewController final : public SCBaseViewController, public ProvinceProtocol
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCHomeViewController)

public:
    static constexpr auto kStepDelay = TunnelSequencer::kStepDelay;
    static constexpr double kAreaAnimation = 0.5;

    explicit SCHomeViewController(QWidget *parent = nullptr);
    ~SCHomeViewController() override;

    void didChooseProvince(const QString &name, qint64 index) override;

    // Made on first use, with this screen as its owner.
    SCHomeClient &client();

    bool hasOrder() const { return currentOrder != nullptr; }
    bool isChangingAddress() const { return TunnelSequencer::shared().isSwitching(); }
    // Between a tap on the connect button and its delayed step.
    bool isConnectPending() const;

public Q_SLOTS:
    // The actions of the layout.
    void selectedOrder();
    void selectedProvince();
    void settingDuplicate();
    void abnormalSwitchAction();
    void connectVPN(QAbstractButton *sender);
    void changeIP();
    void onVPNStatusChanged(VPNStatus now);
    // A tap on the connect button, for those who do not hold it.
    void pressConnect();

private:
    // Fills the labels with its lookup's answer and signs with the chosen order and province.
    friend class SCHomeClient;

    QPointer<LayoutConstraint> navHeight;
    QPointer<LayoutConstraint> ipTop;
    QPointer<QLabel> IPLbl;
    QPointer<QLabel> addressLbl;
    QPointer<QPushButton> changeIPBtn;
    QPointer<QLabel> orderLbl;
    QPointer<QLabel> provinceLbl;
    QPointer<QLabel> duplicateLbl;
    QPointer<Switch> abnormalSwitch;
    QPointer<QPushButton> connectBtn;
    QPointer<QLabel> residueLbl;
    QPointer<LocalProxyLine> proxyLbl;

    std::shared_ptr<SCOrder> currentOrder;
    qint64 pid = -1;
    VPNStatus status = VPNStatus::off;

protected:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

private:
    void chooseOrder(const QString &title, const std::shared_ptr<SCOrder> &order);
    void chooseDuplicate(const QString &title, qint64 nd);
    void applyStatus();
    // Takes the order and choices of a running tunnel from the signed string it was started
    // with, when the order is one of the signed-in customer's.
    void adoptRunningTunnel(const QString &auth);
    void showIPArea(bool show);
    void startLookup();
    void refreshResidue();
    void setConnectTitle(const QString &title);
    void describeRows();
    // Hands the chosen order, province, de-duplication and switch to the sequencer, which
    // connects and changes the address with them (also when the tray asks).
    void publishChoices();

    std::unique_ptr<Ui::SCHomeViewController> m_ui;
    std::unique_ptr<SCHomeClient> m_client;
    // This screen asked for a connect and has not seen it start or fail yet.
    bool m_awaitingConnect = false;
    // The change of IP under way was asked for from its button with the keyboard.
    bool m_refocusChangeIP = false;
    // The running tunnel's order is the chosen one: this screen connected it, or found it.
    bool m_tunnelOrderKnown = false;
};

} // namespace corvane
