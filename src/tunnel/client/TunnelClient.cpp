#include "tunnel/client/TunnelClient.h"

#include "tunnel/client/PlainSession.h"
#include "tunnel/client/ServiceSession.h"

#include <unistd.h>

namespace corvane::tunnel {

namespace {
std::unique_ptr<RelaySession> makeSession(EventLoop &loop, const TunnelConfiguration &config,
                                          const SessionTimings &timings,
                                          RelaySession::Events events)
{
    // The authentication string decides: the service's relay has one, a plain relay none.
    if (!config.auth.empty())
        return std::make_unique<ServiceSession>(loop, timings, std::move(events), config.password,
                                                config.auth);
    return std::make_unique<PlainSession>(loop, timings, std::move(events),
                                          RelayMethod(config.form, config.password));
}
} // namespace

TunnelClient::TunnelClient(EventLoop &loop, TunnelConfiguration configuration, Options options,
                           Events events)
    : m_loop(loop), m_configuration(std::move(configuration)), m_options(options),
      m_events(std::move(events)), m_resolver(loop),
      m_session(makeSession(loop, m_configuration, options.timings,
                            {[this](RelaySession::State state, const std::string &reason) {
                                 sessionState(state, reason);
                             },
                             m_events.log})),
      m_context{loop,       m_resolver,     m_configuration.rules, *m_session,
                *m_session, options.limits, m_events.log},
      m_proxy(m_context)
{}

TunnelClient::~TunnelClient()
{
    m_down = true;
    m_session->stop();
    closeAll();
    // A tunnel that never started leaves no device open.
    if (m_options.tunFd >= 0)
        ::close(m_options.tunFd);
}

void TunnelClient::start()
{
    m_events.status(Status::Connecting, {});
    const std::string problem = m_proxy.listen(m_options.socksPort, m_options.httpPort);
    if (!problem.empty()) {
        m_couldNotListen = true;
        return down(problem);
    }
    if (const std::string tunProblem = startSystemWide(); !tunProblem.empty())
        return down(tunProblem);
    if (m_events.listening)
        m_events.listening(m_proxy.socksPort(), m_proxy.httpPort());
    if (const auto relay =
            SocketAddress::parse(m_configuration.relayHost, m_configuration.relayPort))
        return relayFound(*relay);
    m_lookupTimer = m_loop.after(m_options.timings.startBound, [this] {
        m_lookupTimer = {};
        m_resolver.cancel(m_lookup);
        down("cannot resolve the relay " + m_configuration.relayHost + " within " +
             std::to_string(m_options.timings.startBound.count()) + " s");
    });
    m_lookup = m_resolver.resolve(
        m_configuration.relayHost, m_configuration.relayPort,
        [this](const std::vector<SocketAddress> &addresses, const std::string &error) {
            m_loop.cancel(m_lookupTimer);
            if (addresses.empty())
                return down("cannot resolve the relay " + m_configuration.relayHost + ": " + error);
            relayFound(addresses.front());
        });
}

std::string TunnelClient::startSystemWide()
{
    if (m_options.tunFd < 0)
        return {};
    std::variant<TunDevice, TunnelError> device =
        TunDevice::adopt(std::exchange(m_options.tunFd, -1));
    if (const auto *error = std::get_if<TunnelError>(&device))
        return "Cannot take the TUN device: " + error->description;
    std::optional<TargetAddress> dnsServer;
    if (!m_configuration.dnsServers.empty())
        dnsServer = m_configuration.dnsServers.front();
    m_systemWide = std::make_unique<SystemWideTunnel>(
        m_context, std::get<TunDevice>(std::move(device)), m_options.packets, dnsServer);
    return m_systemWide->start();
}

void TunnelClient::closeAll()
{
    m_proxy.closeAll();
    if (m_systemWide)
        m_systemWide->stop();
}

void TunnelClient::relayFound(const SocketAddress &relay)
{
    m_session->start(relay);
}

void TunnelClient::stop()
{
    if (m_down)
        return;
    m_down = true;
    m_stopped = true;
    m_loop.cancel(m_lookupTimer);
    m_resolver.cancel(m_lookup);
    m_session->stop();
    closeAll();
    m_events.status(Status::Disconnected, {});
}

void TunnelClient::checkRelay()
{
    if (!m_down)
        m_session->checkNow();
}

void TunnelClient::sessionState(RelaySession::State state, const std::string &reason)
{
    switch (state) {
    case RelaySession::State::Connecting:
        break;
    case RelaySession::State::Connected:
        m_proxy.startAccepting();
        if (m_systemWide)
            m_systemWide->startAccepting();
        m_events.status(Status::Connected, {});
        break;
    case RelaySession::State::Reasserting:
        m_events.status(Status::Reasserting, {});
        break;
    case RelaySession::State::Down:
        down(reason);
        break;
    }
}

TunnelClient::DownCause TunnelClient::downCause() const
{
    if (m_couldNotListen)
        return DownCause::port;
    if (!m_down || m_stopped)
        return DownCause::stopped;
    if (m_session->refusal())
        return DownCause::refused;
    if (m_session->everConnected())
        return DownCause::lost;
    return m_session->brokeProtocol() ? DownCause::protocol : DownCause::unreachable;
}

std::string TunnelClient::refusal() const
{
    return m_session->refusal().value_or(std::string());
}

void TunnelClient::down(const std::string &reason)
{
    if (m_down)
        return;
    m_down = true;
    m_session->stop();
    closeAll();
    m_events.status(Status::Disconnected, reason);
}

} // namespace corvane::tunnel
