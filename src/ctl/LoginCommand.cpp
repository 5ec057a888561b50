#include "ctl/LoginCommand.h"

#include "core/login/LoginForm.h"
#include "core/login/SCLoginClient.h"
#include "core/state/LocalState.h"
#include "ctl/CtlText.h"
#include "ctl/PasswordInput.h"
#include "ctl/StoredSignIn.h"

#include <QTimer>

namespace corvane {

namespace {
const QCommandLineOption
    kMobile(QStringLiteral("mobile"),
            CtlText::pick(QStringLiteral("The mobile number the orders were bought with."),
                          QStringLiteral("购买订单所用的手机号码。")),
            QStringLiteral("number"));
const QCommandLineOption
    kPasswordStdin(QStringLiteral("password-stdin"),
                   CtlText::pick(QStringLiteral("Read the password from the first line of standard "
                                                "input instead of asking on the terminal."),
                                 QStringLiteral("从标准输入的第一行读取密码，而不在终端上询问。")));
} // namespace

LoginCommand::LoginCommand(QObject *parent) : CtlCommand(QStringLiteral("login"), parent) {}

LoginCommand::~LoginCommand() = default;

QString LoginCommand::summary() const
{
    return CtlText::pick(QStringLiteral("Sign in and keep the credentials for the other commands."),
                         QStringLiteral("登录，并为其他命令保存凭据。"));
}

void LoginCommand::declare(QCommandLineParser &parser)
{
    parser.addOption(kMobile);
    parser.addOption(kPasswordStdin);
    declareTimeout(parser);
}

void LoginCommand::run(const QCommandLineParser &parser)
{
    if (!parser.isSet(kMobile)) {
        finish(CtlExit::usage, CtlText::pick(QStringLiteral("--mobile is required"),
                                             QStringLiteral("需要 --mobile")));
        return;
    }
    QString password;
    if (parser.isSet(kPasswordStdin)) {
        password = PasswordInput::fromStandardInput();
    } else if (const std::optional<QString> typed = PasswordInput::prompt(
                   CtlText::pick(QStringLiteral("Password: "), QStringLiteral("密码：")))) {
        password = *typed;
    } else {
        finish(CtlExit::usage,
               CtlText::pick(
                   QStringLiteral("no terminal to ask for the password on: use --password-stdin"),
                   QStringLiteral("没有可询问密码的终端：请用 --password-stdin")));
        return;
    }
    auto checked = LoginForm::check(parser.value(kMobile), password);
    if (const auto *message = std::get_if<QString>(&checked)) {
        finish(CtlExit::usage, CtlText::message(*message));
        return;
    }
    const LoginRequest request = std::get<LoginRequest>(std::move(checked));
    m_client = std::make_unique<SCLoginClient>(*this);
    m_client->successBlock = [this, request](const std::any &payload) {
        m_storing = true;
        const auto orders = std::any_cast<std::shared_ptr<SCOrderContent>>(payload);
        const QString signedIn = CtlText::pick(QStringLiteral("signed in as %1: %2 orders"),
                                               QStringLiteral("已登录 %1：%2 个订单"))
                                     .arg(request.mobile)
                                     .arg(orders->orderInfoList.size());
        const QString notStored =
            signedIn +
            CtlText::pick(
                QStringLiteral(
                    ", but the credentials could not be stored (the line above says why)"),
                QStringLiteral("，但凭据无法保存（原因见上一行）"));
        LocalState &state = LocalState::shared();
        if (!state.setPhoneNum(request.mobile)) {
            finish(CtlExit::notStored, notStored);
            return;
        }
        state.setPwdNum(request.password, [this, signedIn, notStored](bool stored) {
            finish(stored ? CtlExit::done : CtlExit::notStored, stored ? signedIn : notStored);
        });
    };
    m_client->failureBlock = [this](const SCNetError &error) {
        const auto [code, message] = StoredSignIn::failureOf(error);
        finish(code, message);
    };
    QObject::connect(m_client.get(), &SCLoginClient::replyWithoutOrders, this, [this] {
        finish(
            CtlExit::refused,
            CtlText::pick(QStringLiteral("the service accepted the sign-in but sent no order list"),
                          QStringLiteral("服务接受了登录，但没有发来订单列表")));
    });
    m_client->login(request.mobile, request.encodedPassword);
    // The keyring's own wait bounds the storing that follows the answer.
    QTimer::singleShot(timeout(parser), this, [this] {
        if (!m_storing)
            finish(CtlExit::network,
                   CtlText::pick(QStringLiteral("the service did not answer in time"),
                                 QStringLiteral("服务未及时应答")));
    });
}

} // namespace corvane
