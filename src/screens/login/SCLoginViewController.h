#pragma once

#include "ui/shell/SCBaseViewController.h"

#include "core/login/LoginForm.h"

#include <QList>
#include <QPointer>
#include <memory>
#include <optional>

class QLineEdit;

namespace Ui {
class SCLoginViewController;
}

namespace corvane {

class BusyButton;
class SCLoginClient;
class SCNetError;

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
    // Back to this screen with nobody signed in: the home screen over it goes, and the order
    // list with it; sign-ins still out are dropped; the stored password is forgotten while the
    // mobile number stays for the next sign-in.
    void signOut();

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
    QPointer<BusyButton> loginBtn;

    // Drops the request the client's answer is for from those out, and says whether any
    // remain; the request, when it was one of this screen's.
    std::optional<LoginRequest> takeAnswered();
    void didSignIn(const LoginRequest &request);
    void didFail(const SCNetError &error);

    std::unique_ptr<Ui::SCLoginViewController> m_ui;
    std::unique_ptr<SCLoginClient> m_client;
    // Sent and not answered yet, oldest first.
    QList<LoginRequest> m_pending;
};

} // namespace corvane
