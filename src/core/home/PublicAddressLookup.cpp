#include "core/home/PublicAddressLookup.h"

#include "core/config/ServiceEndpoints.h"
#include "core/vpn/VpnManager.h"
#include "platform/http/HttpClient.h"
#include "platform/http/TextReplyReader.h"

#include <QPointer>

namespace corvane {

PublicAddressLookup::PublicAddressLookup(QObject *parent) : QObject(parent) {}

PublicAddressLookup::~PublicAddressLookup()
{
    m_request.cancel();
}

QUrl PublicAddressLookup::endpoint()
{
    return QUrl(ServiceEndpoints::current().lookupBaseAddress +
                QStringLiteral("/cityjson?ie=utf-8"));
}

void PublicAddressLookup::start(Completion completion)
{
    m_request.cancel();
    HttpRequest request;
    request.url = endpoint();
    request.method = HttpMethod::Get;
    // While the tunnel is on, the address is the one the world sees through it.
    if (const std::optional<LocalProxyPorts> proxy = VpnManager::sharedLocalProxy())
        request.httpProxyPort = proxy->http;
    m_request = HttpClient::shared().send(
        request, [self = QPointer<PublicAddressLookup>(this),
                  completion = std::move(completion)](const HttpReply &reply) {
            if (!self || !completion)
                return;
            Outcome outcome;
            const std::optional<QString> text =
                reply.body.isEmpty() ? std::nullopt : TextReplyReader::read(reply);
            if (!text)
                outcome.failed = true;
            else
                outcome.answer = PublicAddressAnswer::parse(*text);
            completion(outcome);
        });
}

void PublicAddressLookup::cancel()
{
    m_request.cancel();
}

} // namespace corvane
