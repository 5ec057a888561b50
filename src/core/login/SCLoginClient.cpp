#include "core/login/SCLoginClient.h"

#include "core/model/Mapper.h"
#include "core/network/SCNetServer.h"
#include "core/state/LocalState.h"
#include "platform/log/Log.h"

namespace corvane {

SCLoginClient::~SCLoginClient() = default;

void SCLoginClient::login(const QString &mobile, const QString &password)
{
    const QJsonObject parameters{{QStringLiteral("mobile"), mobile},
                                 {QStringLiteral("password"), password}};
    const QPointer<SCLoginClient> self(this);
    SCNetServer::shared().request(
        QString::fromLatin1(kPath), HttpMethod::Post, parameters, ParameterEncoding::JsonBody,
        [self, mobile, password](const std::shared_ptr<SCResponse> &envelope) {
            if (!self)
                return;
            self->answering(mobile, password);
            const std::shared_ptr<SCOrderContent> content =
                Mapper<SCOrderContent>().mapJSONObject(envelope->result.value_or(QJsonValue()));
            if (!content) {
                // The service answered success without an order list: nothing to sign in with.
                Log::warning(QStringLiteral("The sign-in reply carries no order list"));
                Q_EMIT self->replyWithoutOrders();
                return;
            }
            currentOrderContent() = content;
            self->deliverSuccess(content);
        },
        [self, mobile, password](const SCNetError &error) {
            if (!self)
                return;
            self->answering(mobile, password);
            self->deliverFailure(error);
        });
}

void SCLoginClient::answering(const QString &mobile, const QString &password)
{
    m_answeredMobile = mobile;
    m_answeredPassword = password;
}

} // namespace corvane
