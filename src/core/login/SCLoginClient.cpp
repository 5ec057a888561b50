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
        [self](const std::shared_ptr<SCResponse> &envelope) {
            if (!self)
                return;
            const std::shared_ptr<SCOrderContent> content =
                Mapper<SCOrderContent>().mapJSONObject(envelope->result.value_or(QJsonValue()));
            if (!content) {
                // The service answered success without an order list: nothing to sign in with.
                Log::write(QStringLiteral("The sign-in reply carries no order list"));
                Q_EMIT self->replyWithoutOrders();
                return;
            }
            currentOrderContent() = content;
            self->deliverSuccess(content);
        },
        [self](const SCNetError &error) {
            if (self)
                self->deliverFailure(error);
        });
}

} // namespace corvane
