#include "core/network/SCNetServer.h"

#include "core/config/ServiceEndpoints.h"
#include "core/model/Mapper.h"
#include "platform/http/HttpClient.h"
#include "platform/http/JsonReplyReader.h"
#include "platform/resources/Localization.h"

namespace corvane {

namespace {

void deliver(const HttpReply &reply, const SCNetServer::Success &onSuccess,
             const SCNetServer::Failure &onFailure)
{
    const auto success = [&](const std::shared_ptr<SCResponse> &envelope) {
        if (onSuccess)
            onSuccess(envelope);
    };
    const auto failure = [&](const SCNetError &error) {
        if (onFailure)
            onFailure(error);
    };
    const std::optional<qint64> status =
        reply.statusCode ? std::optional<qint64>(*reply.statusCode) : std::optional<qint64>(1);
    const std::optional<QJsonValue> json = JsonReplyReader::read(reply);
    if (!json) {
        failure(SCNetError(Localization::string(QStringLiteral("service.unreachable")), status));
        return;
    }
    const std::shared_ptr<SCResponse> envelope = Mapper<SCResponse>().mapJSONObject(*json);
    if (!envelope) {
        failure(SCNetError(Localization::string(QStringLiteral("service.unreadable")), 1));
        return;
    }
    if (envelope->resultCode == 0) {
        success(envelope);
        return;
    }
    failure(SCNetError(envelope->resultMsg, status, true));
}
} // namespace

SCNetServer::SCNetServer() = default;

SCNetServer &SCNetServer::shared()
{
    static SCNetServer server;
    return server;
}

QString SCNetServer::baseAddress()
{
    return ServiceEndpoints::current().serviceBaseAddress;
}

HttpTask SCNetServer::request(const QString &path, HttpMethod method,
                              const std::optional<QJsonObject> &parameters,
                              ParameterEncoding encoding, Success success, Failure failure)
{
    HttpRequest request;
    request.url = QUrl(baseAddress() + path);
    request.method = method;
    request.parameters = parameters;
    request.encoding = encoding;
    request.headers = {{"Content-Type", "application/json"}};
    request.timeout = m_timeout;
    return HttpClient::shared().send(
        request, [success = std::move(success), failure = std::move(failure)](
                     const HttpReply &reply) { deliver(reply, success, failure); });
}

} // namespace corvane
