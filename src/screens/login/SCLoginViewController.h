#pragma once

#include "ui/shell/SCBaseViewController.h"

#include <QPointer>
#include <memory>

class QLineEdit;
class QPushButton;

namespace Ui {
class SCLoginViewController;
}

namespace corvane {

class SCLoginClient;
class SCNetError;
struct LoginRequest;

// The first screen: the customer types a mobile number and a password and signs in; the
// orders that come back open the home screen over this one.
class SCLoginViewController final : public SCBaseViewController
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCLoginViewController)

public:
    explicit SCLoginViewController(QWidget *parent = nullptr);
    ~SCLoginViewController() override;

    // Made on first use, with this screen as its owner.
    SCLoginClient &client();

public Q_SLOTS:
    // The sign-in button's action: checks the input, then asks the service. Every tap that
    // passes the checks sends a request of its own.
    void doLogin();

protected:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

private:
    QPointer<QLineEdit> phoneTF;
    QPointer<QLineEdit> pwdTF;
    QPointer<QPushButton> loginBtn;

    void didSignIn(const LoginRequest &request);
    void didFail(const SCNetError &error);

    std::unique_ptr<Ui::SCLoginViewController> m_ui;
    std::unique_ptr<SCLoginClient> m_client;
};

} // namespace corvane
