#include "screens/login/SCLoginViewController.h"

#include "core/login/LoginForm.h"
#include "core/login/SCLoginClient.h"
#include "core/state/LocalState.h"
#include "platform/scheduling/Scheduler.h"
#include "ui/common/ScrollingColumn.h"
#include "ui/feedback/toast/ShowToast.h"
#include "ui/shell/SCBaseNavigationController.h"
#include "ui/toolkit/BusyButton.h"
#include "ui/toolkit/ScreenFactory.h"

#include "ui_SCLoginViewController.h"

#include <QLineEdit>
#include <QPushButton>

using namespace std::chrono_literals;

namespace corvane {

namespace {
const QString kNotStored = QStringLiteral("登录信息未能保存，下次启动需重新输入");
const QString kNotForgotten = QStringLiteral("保存的密码未能删除");
} // namespace

SCLoginViewController::SCLoginViewController(QWidget *parent) : SCBaseViewController(parent) {}

SCLoginViewController::~SCLoginViewController() = default;

void SCLoginViewController::viewDidLoad()
{
    SCBaseViewController::viewDidLoad();
    m_ui = std::make_unique<Ui::SCLoginViewController>();
    m_ui->setupUi(this);
    ScrollingColumn::wrap(m_ui->form);
    phoneTF = outlet<QLineEdit>(QStringLiteral("phoneTF"));
    pwdTF = outlet<QLineEdit>(QStringLiteral("pwdTF"));
    loginBtn = outlet<BusyButton>(QStringLiteral("loginBtn"));

    LocalState &state = LocalState::shared();
    if (phoneTF)
        phoneTF->setText(state.phoneNum().value_or(QString()));
    // A keyring may answer after the window is up: what the user typed by then stays.
    state.pwdNum(this, [field = pwdTF](const std::optional<QString> &password) {
        if (field && field->text().isEmpty())
            field->setText(password.value_or(QString()));
    });

    if (loginBtn)
        connect(loginBtn, &QPushButton::clicked, this, &SCLoginViewController::doLogin);
    if (phoneTF && pwdTF) {
        connect(phoneTF, &QLineEdit::returnPressed, pwdTF,
                [field = pwdTF] { field->setFocus(Qt::TabFocusReason); });
    }
    if (pwdTF)
        connect(pwdTF, &QLineEdit::returnPressed, this, &SCLoginViewController::doLogin);
}

void SCLoginViewController::viewWillAppear(bool animated)
{
    SCBaseViewController::viewWillAppear(animated);
    // The form comes back into the focus chain once nothing covers it.
    if (m_ui)
        m_ui->form->show();
}

void SCLoginViewController::viewDidDisappear(bool animated)
{
    SCBaseViewController::viewDidDisappear(animated);
    // The home screen is presented over this one; Tab must not wander into fields hidden
    // beneath it.
    if (m_ui && presentedViewController())
        m_ui->form->hide();
}

SCLoginClient &SCLoginViewController::client()
{
    if (!m_client) {
        m_client = std::make_unique<SCLoginClient>(*this);
        // No callback runs for it, but the request is answered all the same.
        connect(m_client.get(), &SCLoginClient::replyWithoutOrders, this,
                [this] { takeAnswered(); });
    }
    return *m_client;
}

void SCLoginViewController::signOut()
{
    // The client's answers still out would bring the orders back: they go with it.
    m_client.reset();
    m_pending.clear();
    if (loginBtn)
        loginBtn->setBusy(false);
    if (pwdTF)
        pwdTF->clear();
    currentOrderContent().reset();
    if (presentedViewController())
        dismissViewController(false);
    LocalState::shared().forgetPwdNum(
        [screen = QPointer(this)](const LocalState::Forgetting &outcome) {
            if (screen && outcome.failure)
                sc_showToast(screen, kNotForgotten);
        });
}

void SCLoginViewController::doLogin()
{
    const QString typedMobile = phoneTF ? phoneTF->text() : QString();
    const QString typedPassword = pwdTF ? pwdTF->text() : QString();
    auto checked = LoginForm::check(typedMobile, typedPassword);
    if (const auto *message = std::get_if<QString>(&checked)) {
        sc_showToast(this, *message);
        return;
    }
    const LoginRequest request = std::get<LoginRequest>(std::move(checked));
    SCLoginClient &login = client();
    // The credentials stored after a success are the ones of the request that succeeded,
    // whatever the fields hold, or a later tap sent, by the time the answer arrives.
    login.successBlock = weakly(this, [](SCLoginViewController &self, const std::any &) {
        if (const std::optional<LoginRequest> answered = self.takeAnswered())
            self.didSignIn(*answered);
    });
    login.failureBlock = weakly(this, [](SCLoginViewController &self, const SCNetError &error) {
        self.takeAnswered();
        self.didFail(error);
    });
    m_pending.append(request);
    if (loginBtn)
        loginBtn->setBusy(true);
    login.login(request.mobile, request.encodedPassword);
}

std::optional<LoginRequest> SCLoginViewController::takeAnswered()
{
    const SCLoginClient &login = client();
    std::optional<LoginRequest> answered;
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        if (m_pending.at(i).mobile == login.answeredMobile() &&
            m_pending.at(i).encodedPassword == login.answeredPassword()) {
            answered = m_pending.takeAt(i);
            break;
        }
    }
    if (loginBtn)
        loginBtn->setBusy(!m_pending.isEmpty());
    return answered;
}

void SCLoginViewController::didSignIn(const LoginRequest &request)
{
    ViewController *home =
        ScreenFactory::named(QStringLiteral("Main")).instantiate(QStringLiteral("home"));
    LocalState &state = LocalState::shared();
    const bool phoneStored = state.setPhoneNum(request.mobile);
    // The home screen covers this one once presented below: the news goes there, a step
    // later, as the password may be stored (or not) before it is.
    QWidget *shown = home ? static_cast<QWidget *>(home) : this;
    state.setPwdNum(request.password, [phoneStored, shown = QPointer<QWidget>(shown)](bool stored) {
        if (!shown || (phoneStored && stored))
            return;
        delay(0s, shown, [shown] { sc_showToast(shown, kNotStored); });
    });
    if (!home)
        return;
    auto *navigation = new SCBaseNavigationController(home);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FullScreen);
    presentViewController(navigation, true);
}

void SCLoginViewController::didFail(const SCNetError &error)
{
    SCNetError mapped = error;
    if (mapped.message)
        mapped.message = LoginForm::userMessage(*mapped.message);
    sc_showToast(this, mapped.message);
}

} // namespace corvane
