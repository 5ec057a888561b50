#include "core/home/PublicAddressLookup.h"

#include "core/config/ServiceEndpoints.h"
#include "core/vpn/VpnManager.h"
#include "platform/http/HttpClient.h"
#include "platform/http/HttpTask.h"
#include "platform/http/TextReplyReader.h"

#include <QPointer>

namespace corvane {

// One request to the lookup service and everyone waiting for its answer.
class PublicAddressLookup::Flight final : public QObject
{
public:
    explicit Flight(std::optional<quint16> port) : proxyPort(port) {}

    void land(const Outcome &outcome)
    {
        joinable = false;
        const QList<QPointer<PublicAddressLookup>> waiting = std::exchange(waiters, {});
        for (const QPointer<PublicAddressLookup> &waiter : waiting) {
            if (waiter)
                waiter->finish(this, outcome);
        }
    }

    const std::optional<quint16> proxyPort;
    // Cleared once the tunnel's status moves: the route the request took may be gone.
    bool joinable = true;
    HttpTask request;
    QList<QPointer<PublicAddressLookup>> waiters;

    // Main thread only, as every lookup is.
    static inline std::weak_ptr<Flight> current;
};

PublicAddressLookup::PublicAddressLookup(QObject *parent) : QObject(parent) {}

PublicAddressLookup::~PublicAddressLookup()
{
    leave();
}

QUrl PublicAddressLookup::endpoint()
{
    return QUrl(ServiceEndpoints::current().lookupBaseAddress +
                QStringLiteral("/cityjson?ie=utf-8"));
}

void PublicAddressLookup::start(Completion completion)
{
    cancel();
    // While the tunnel is on, the address is the one the world sees through it.
    std::optional<quint16> proxyPort;
    if (const std::optional<LocalProxyPorts> proxy = VpnManager::sharedLocalProxy())
        proxyPort = proxy->http;
    std::shared_ptr<Flight> flight = Flight::current.lock();
    if (!flight || !flight->joinable || flight->proxyPort != proxyPort)
        flight = launch(proxyPort);
    flight->waiters.append(this);
    m_flight = std::move(flight);
    m_completion = std::move(completion);
}

std::shared_ptr<PublicAddressLookup::Flight>
PublicAddressLookup::launch(std::optional<quint16> proxyPort)
{
    auto flight = std::make_shared<Flight>(proxyPort);
    if (proxyPort) {
        QObject::connect(&VpnManager::shared(), &VpnManager::statusChanged, flight.get(),
                         [raw = flight.get()](VPNStatus status) {
                             if (status != VPNStatus::on)
                                 raw->joinable = false;
                         });
    }
    HttpRequest request;
    request.url = endpoint();
    request.method = HttpMethod::Get;
    request.httpProxyPort = proxyPort;
    flight->request = HttpClient::shared().send(
        request, [weak = std::weak_ptr<Flight>(flight)](const HttpReply &reply) {
            const std::shared_ptr<Flight> landed = weak.lock();
            if (!landed)
                return;
            Outcome outcome;
            const std::optional<QString> text =
                reply.body.isEmpty() ? std::nullopt : TextReplyReader::read(reply);
            if (!text)
                outcome.failed = true;
            else
                outcome.answer = PublicAddressAnswer::parse(*text);
            landed->land(outcome);
        });
    Flight::current = flight;
    return flight;
}

void PublicAddressLookup::cancel()
{
    if (!m_flight)
        return;
    leave();
    // As a cancelled request reports: later, once, as failed.
    QMetaObject::invokeMethod(
        this,
        [completion = std::exchange(m_completion, {})] {
            if (completion)
                completion(Outcome{.failed = true, .answer = std::nullopt});
        },
        Qt::QueuedConnection);
}

void PublicAddressLookup::leave()
{
    const std::shared_ptr<Flight> flight = std::exchange(m_flight, nullptr);
    if (!flight)
        return;
    flight->waiters.removeAll(this);
    if (flight->waiters.isEmpty()) {
        flight->joinable = false;
        flight->request.cancel();
    }
}

void PublicAddressLookup::finish(const Flight *flight, const Outcome &outcome)
{
    if (m_flight.get() != flight)
        return;
    m_flight.reset();
    const Completion completion = std::exchange(m_completion, {});
    if (completion)
        completion(outcome);
}

} // namespace corvane
