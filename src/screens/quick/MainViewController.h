#pragma once

#include "core/vpn/FFSSModel.h"
#include "core/vpn/VPNStatus.h"
#include "ui/toolkit/ViewController.h"

#include <QFont>
#include <QList>
#include <QPointer>
#include <memory>

class QAbstractButton;
class QPushButton;

namespace Ui {
class MainViewController;
}

namespace corvane {

class LocalProxyLine;
class MorphingLabel;

// The quick connect screen: one button that starts and stops the tunnel through the built-in
// relay, pulsing while the tunnel is up, and a status line that evaporates from one status to
// the next. Its only state is the tunnel's, as last announced by VpnManager.
class MainViewController final : public ViewController
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainViewController)

public:
    explicit MainViewController(QWidget *parent = nullptr);
    ~MainViewController() override;

    const QList<FFSSModel *> &models() const { return m_models; }
    VPNStatus status() const { return m_status; }
    // Between a tap on the connect button and its delayed toggle.
    bool isConnectPending() const;

public Q_SLOTS:
    // A tap on the connect button: announces the change at once, and the sequencer toggles
    // the tunnel a step later.
    void clickConnect();
    // Redraws for the tunnel's new status; every announcement redraws, repeated ones included.
    void onVPNStatusChanged(VPNStatus status);
    // A tap on the connect button, for those who do not hold it.
    void pressConnect();

protected:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

private:
    QPointer<QPushButton> connectBtn;
    QPointer<MorphingLabel> content;
    QPointer<LocalProxyLine> proxyLbl;

    void setConnectTitle(const QString &title);
    void fitConnectTitle();
    bool eventFilter(QObject *watched, QEvent *event) override;

    std::unique_ptr<Ui::MainViewController> m_ui;
    QList<FFSSModel *> m_models;
    VPNStatus m_status = VPNStatus::off;
    // The last of off and on announced, which the button's title shows: a tap does the other.
    VPNStatus m_titleStatus = VPNStatus::off;
    QFont m_connectFont;
};

} // namespace corvane
