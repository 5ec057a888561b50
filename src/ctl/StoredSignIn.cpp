#include "ctl/StoredSignIn.h"

#include "core/login/LoginForm.h"
#include "core/login/SCLoginClient.h"
#include "core/state/LocalState.h"
#include "launch/LocaleText.h"
#include "platform/resources/Localization.h"

#include <QTimer>

namespace corvane {

StoredSignIn::StoredSignIn(QObject *parent)
    : QObject(parent), m_client(std::make_unique<SCLoginClient>(*this))
{}

StoredSignIn::~StoredSignIn() = default;

std::pair<CtlExit, QString> StoredSignIn::failureOf(const SCNetError &error)
{
    return {error.refused ? CtlExit::refused : CtlExit::network,
            LoginForm::userMessage(error.message.value_or(
                Localization::string(QStringLiteral("service.unreachable"))))};
}

void StoredSignIn::fetch(Orders orders, Failure failure)
{
    m_waiting = true;
    // Whichever way it ends, the answer is in.
    failure = [this, failure = std::move(failure)](CtlExit code, const QString &message) {
        m_waiting = false;
        failure(code, message);
    };
    orders = [this, orders = std::move(orders)](const std::shared_ptr<SCOrderContent> &content) {
        m_waiting = false;
        orders(content);
    };
    LocalState &state = LocalState::shared();
    const std::optional<QString> mobile = state.phoneNum();
    state.pwdNum(this, [this, mobile, orders = std::move(orders),
                        failure = std::move(failure)](const std::optional<QString> &password) {
        auto checked = LoginForm::check(mobile.value_or(QString()), password.value_or(QString()));
        if (!mobile || !password || std::holds_alternative<QString>(checked)) {
            // The keyring may answer at once: the caller hears of it on a later turn either way.
            QTimer::singleShot(0, this, [failure] {
                failure(CtlExit::notSignedIn,
                        LocaleText::text(QStringLiteral("sign-in.not-signed-in-run-corvanectl")));
            });
            return;
        }
        const LoginRequest request = std::get<LoginRequest>(std::move(checked));
        m_client->successBlock = [orders](const std::any &payload) {
            orders(std::any_cast<std::shared_ptr<SCOrderContent>>(payload));
        };
        m_client->failureBlock = [failure](const SCNetError &error) {
            const auto [code, message] = failureOf(error);
            failure(code, message);
        };
        m_client->disconnect(this);
        QObject::connect(m_client.get(), &SCLoginClient::replyWithoutOrders, this, [failure] {
            failure(CtlExit::refused,
                    LocaleText::text(QStringLiteral("login.the-service-accepted-the-sign")));
        });
        m_client->login(request.mobile, request.encodedPassword);
    });
}

} // namespace corvane
