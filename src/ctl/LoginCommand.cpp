#include "ctl/LoginCommand.h"

#include "core/login/LoginForm.h"
#include "core/login/SCLoginClient.h"
#include "core/state/LocalState.h"
#include "ctl/PasswordInput.h"
#include "ctl/StoredSignIn.h"
#include "launch/LocaleText.h"

#include <QTimer>

namespace corvane {

namespace {
const QCommandLineOption
    kMobile(QStringLiteral("mobile"),
            LocaleText::text(QStringLiteral("login.the-mobile-number-the-orders")),
            QStringLiteral("number"));
const QCommandLineOption
    kPasswordStdin(QStringLiteral("password-stdin"),
                   LocaleText::text(QStringLiteral("login.read-the-password-from-the")));
} // namespace

LoginCommand::LoginCommand(QObject *parent) : CtlCommand(QStringLiteral("login"), parent) {}

LoginCommand::~LoginCommand() = default;

QString LoginCommand::summary() const
{
    return LocaleText::text(QStringLiteral("login.sign-in-and-keep-the"));
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
        finish(CtlExit::usage, LocaleText::text(QStringLiteral("login.mobile-is-required")));
        return;
    }
    QString password;
    if (parser.isSet(kPasswordStdin)) {
        password = PasswordInput::fromStandardInput();
    } else if (const std::optional<QString> typed =
                   PasswordInput::prompt(LocaleText::text(QStringLiteral("login.password")))) {
        password = *typed;
    } else {
        finish(CtlExit::usage, LocaleText::text(QStringLiteral("login.no-terminal-to-ask-for")));
        return;
    }
    auto checked = LoginForm::check(parser.value(kMobile), password);
    if (const auto *message = std::get_if<QString>(&checked)) {
        finish(CtlExit::usage, *message);
        return;
    }
    const LoginRequest request = std::get<LoginRequest>(std::move(checked));
    m_client = std::make_unique<SCLoginClient>(*this);
    m_client->successBlock = [this, request](const std::any &payload) {
        m_storing = true;
        const auto orders = std::any_cast<std::shared_ptr<SCOrderContent>>(payload);
        const QString signedIn = LocaleText::text(QStringLiteral("login.signed-in-as-1-2"))
                                     .arg(request.mobile)
                                     .arg(orders->orderInfoList.size());
        const QString notStored =
            signedIn + LocaleText::text(QStringLiteral("login.but-the-credentials-could-not"));
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
        finish(CtlExit::refused,
               LocaleText::text(QStringLiteral("login.the-service-accepted-the-sign")));
    });
    m_client->login(request.mobile, request.encodedPassword);
    // The keyring's own wait bounds the storing that follows the answer.
    QTimer::singleShot(timeoutSeconds(parser) * 1000, this, [this] {
        if (!m_storing)
            finish(CtlExit::network,
                   LocaleText::text(QStringLiteral("login.the-service-did-not-answer")));
    });
}

} // namespace corvane
