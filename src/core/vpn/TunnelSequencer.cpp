#include "core/vpn/TunnelSequencer.h"

#include "core/config/ServiceEndpoints.h"
#include "core/home/AuthString.h"
#include "core/home/ServiceTunnel.h"
#include "core/vpn/CustomRelay.h"
#include "core/vpn/FFSSModel.h"
#include "core/vpn/QuickRelay.h"
#include "core/vpn/VpnManager.h"
#include "platform/scheduling/Scheduler.h"

namespace corvane {

namespace {

// A relay lost or out of reach may come back; a refusal or a broken handshake would only repeat.
bool mayPass(const std::optional<TunnelEndReason> &reason)
{
    return reason && (reason->kind == TunnelEndReason::Kind::lost ||
                      reason->kind == TunnelEndReason::Kind::unreachable);
}

void fillRelay(VpnManager &manager, const FFSSModel &relay)
{
    manager.address = relay.ip;
    manager.pwd = relay.pwd;
    manager.port = relay.port;
    manager.method = relay.method;
}

} // namespace

TunnelSequencer &TunnelSequencer::shared()
{
    static TunnelSequencer *instance =
        new TunnelSequencer(VpnManager::shared(), &VpnManager::shared());
    return *instance;
}

TunnelSequencer::TunnelSequencer(VpnManager &manager, QObject *parent)
    : QObject(parent), m_manager(manager)
{
    QObject::connect(&m_manager, &VpnManager::statusChanged, this, &TunnelSequencer::statusChanged);
}

TunnelSequencer::~TunnelSequencer() = default;

void TunnelSequencer::choose(std::optional<TunnelRequest> request)
{
    m_request = std::move(request);
}

void TunnelSequencer::connectTunnel(const TunnelRequest &request)
{
    m_request = request;
    m_connectedHere = true;
    if (const auto *service = std::get_if<TunnelRequest::Service>(&request.relay)) {
        m_manager.address = ServiceEndpoints::current().tunnelHost;
        m_manager.pwd = QString();
        m_manager.port = ServiceEndpoints::current().tunnelPort;
        m_manager.method = QString();
        m_manager.uid = ServiceTunnel::drawUid();
        m_manager.nd = service->nd;
        m_manager.sip = service->sip;
        m_manager.auth = service->order ? makeAuthString(ServiceTunnel::authFields(
                                              *service->order, service->provinceIndex, m_manager))
                                        : QString();
        m_manager.connectTunnel();
        return;
    }
    auto relay = std::make_shared<FFSSModel>();
    if (std::holds_alternative<TunnelRequest::Quick>(request.relay)) {
        QuickRelay::describeBuiltIn(*relay);
        fillRelay(m_manager, *relay);
        m_manager.connectTunnel();
        return;
    }
    CustomRelay::onSharedSettings().describe(*relay, this, [this, relay] {
        fillRelay(m_manager, *relay);
        m_manager.connectTunnel();
    });
}

bool TunnelSequencer::toggle(std::function<void(Toggle)> done)
{
    // The button reads as a stop while the tunnel is being brought back.
    if (m_state == State::reconnecting) {
        disconnectTunnel();
        if (done)
            done(Toggle::disconnecting);
        return true;
    }
    if (m_state != State::idle)
        return false;
    setState(State::stepping);
    // The tunnel's status when the step runs decides, not the one at the tap.
    delay(kStepDelay, this, [this, generation = m_generation, done = std::move(done)] {
        if (generation != m_generation)
            return;
        setState(State::idle);
        const bool connecting = m_manager.vpnStatus() == VPNStatus::off;
        if (!connecting)
            m_manager.disconnectTunnel();
        else if (m_request)
            connectTunnel(*m_request);
        if (done)
            done(connecting ? Toggle::connecting : Toggle::disconnecting);
    });
    return true;
}

bool TunnelSequencer::changeAddress(Scheduler::Duration firstStep)
{
    if (m_state != State::idle || m_manager.vpnStatus() != VPNStatus::on || !m_request ||
        !m_request->isService())
        return false;
    m_reconnecting = false;
    setState(State::switching);
    delay(firstStep, this, [this, generation = m_generation] {
        if (generation == m_generation)
            m_manager.handOverTunnel();
    });
    return true;
}

void TunnelSequencer::disconnectTunnel(std::function<void()> stopped, const QString &sparedProgram)
{
    ++m_generation;
    m_reconnecting = false;
    m_connectedHere = false;
    setState(State::idle);
    m_manager.disconnectTunnelUnlessStartedBy(sparedProgram, std::move(stopped));
}

void TunnelSequencer::disconnectEveryTunnel(const QString &sparedProgram,
                                            std::function<void()> stopped)
{
    ++m_generation;
    m_reconnecting = false;
    m_connectedHere = false;
    setState(State::idle);
    m_manager.disconnectEveryTunnel(sparedProgram, std::move(stopped));
}

void TunnelSequencer::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT stateChanged(m_state);
}

void TunnelSequencer::statusChanged(VPNStatus status)
{
    if (reconnectOn(status))
        return;
    if (m_state != State::switching)
        return;
    if (status == VPNStatus::on) {
        setState(State::idle);
        return;
    }
    if (status != VPNStatus::off)
        return;
    // Off again after the reconnect: the service or the tunnel refused it. Trying again would
    // only repeat that every second, so the change ends here, with the tunnel off.
    if (std::exchange(m_reconnecting, true)) {
        m_reconnecting = false;
        setState(State::idle);
        return;
    }
    delay(kStepDelay, this, [this, generation = m_generation] {
        if (generation == m_generation && m_state == State::switching && m_request)
            connectTunnel(*m_request);
    });
}

bool TunnelSequencer::reconnectOn(VPNStatus status)
{
    const bool wasUp =
        std::exchange(m_wasUp, status == VPNStatus::on || (m_wasUp && status != VPNStatus::off));
    if (m_state == State::reconnecting) {
        // An off announced again while the next try waits is no news.
        if (status == VPNStatus::on ||
            (status == VPNStatus::off && !m_retryPending && !mayPass(m_manager.endReason)))
            setState(State::idle);
        else if (status == VPNStatus::off && !m_retryPending)
            scheduleReconnect();
        return true;
    }
    if (m_state != State::idle || status != VPNStatus::off || !wasUp || !m_connectedHere ||
        !m_request || !mayPass(m_manager.endReason) || (m_autoReconnect && !m_autoReconnect()))
        return false;
    m_retryDelay = kFirstRetry;
    m_retryPending = false;
    m_droppedAt = Scheduler::current().now();
    setState(State::reconnecting);
    scheduleReconnect();
    return true;
}

void TunnelSequencer::scheduleReconnect()
{
    const Scheduler::Duration wait = m_retryDelay;
    if (Scheduler::current().now() + wait.count() - m_droppedAt > kReconnectFor.count()) {
        setState(State::idle);
        return;
    }
    m_retryDelay = std::min(m_retryDelay * 2, kLongestRetry);
    m_retryPending = true;
    delay(wait, this, [this, generation = m_generation] {
        if (generation != m_generation)
            return;
        m_retryPending = false;
        if (m_state == State::reconnecting && m_request)
            connectTunnel(*m_request);
    });
}

} // namespace corvane
