#include "tunnel/client/ProxyConnection.h"

#include "tunnel/client/DescriptorBudget.h"
#include "tunnel/client/RelayDialer.h"
#include "tunnel/engine/Resolver.h"
#include "tunnel/proxy/HttpProxyRequest.h"
#include "tunnel/proxy/HttpResponseHead.h"
#include "tunnel/proxy/Socks5Request.h"
#include "tunnel/rules/RuleSet.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
constexpr std::string_view kTunnelEstablished = "HTTP/1.1 200 Connection established\r\n\r\n";
} // namespace

ProxyConnection::ProxyConnection(ProxyContext &context, Kind kind, Socket client, std::string peer,
                                 std::function<void(ProxyConnection *)> closed)
    : m_context(context), m_kind(kind), m_client(std::move(client)), m_peer(std::move(peer)),
      m_closed(std::move(closed)), m_opened(context.loop.now())
{
    m_clientEnd.owner = this;
    m_upstreamEnd.owner = this;
    m_upstreamEnd.upstream = true;
}

ProxyConnection::~ProxyConnection() = default;

void ProxyConnection::start()
{
    m_state = m_kind == Kind::Socks5 ? State::Greeting : State::Request;
    m_client.watch(m_context.loop, m_clientEnd);
    updateInterest();
    m_timer = m_context.loop.after(m_context.limits.requestTimeout, [this] {
        m_timer = {};
        close("no complete request and connection within " +
              std::to_string(m_context.limits.requestTimeout.count()) + " s");
    });
}

void ProxyConnection::carry(const TargetAddress &destination,
                            std::optional<RuleSet::Decision> decided)
{
    start();
    m_target = destination;
    route(destination, {}, std::move(decided));
}

std::string ProxyConnection::describe() const
{
    std::string text = m_kind == Kind::Socks5 ? "SOCKS5"
                       : m_kind == Kind::Http ? "HTTP proxy"
                                              : "Transparent";
    text += " connection from " + m_peer;
    if (m_state != State::Greeting && m_target.port != 0)
        text += " to " + m_target.text();
    return text;
}

void ProxyConnection::close(const std::string &reason)
{
    if (m_state == State::Closed)
        return;
    if (!reason.empty() && m_context.log)
        m_context.log(describe() + ": " + reason);
    m_state = State::Closed;
    m_context.loop.cancel(m_timer);
    if (m_pipe)
        m_pipe->stop();
    if (m_association)
        m_datagramTraffic = std::exchange(m_association, {})->traffic();
    if (m_lookup)
        m_context.resolver.cancel(std::exchange(m_lookup, 0));
    m_client.close();
    m_upstream.close();
    Bytes().swap(m_toUpstream);
    Bytes().swap(m_request);
    if (m_closed)
        std::exchange(m_closed, {})(this);
}

void ProxyConnection::clientEvents(Readiness ready)
{
    if (m_state == State::Greeting || m_state == State::Request)
        readRequest();
    else if (m_state == State::Associated)
        readControl();
    else if (ready.hangup)
        close({});
    updateInterest();
}

void ProxyConnection::upstreamEvents()
{
    if (m_state != State::Connecting)
        return;
    const std::optional<TunnelError> error = m_upstream.connectError();
    if (!error)
        return connected();
    if (m_relayed)
        m_context.dialer.relayUnreachable(error->description);
    refuse(Socks5Request::kConnectionRefused,
           (m_relayed ? "cannot reach the relay: " : "cannot connect: ") + error->description);
}

void ProxyConnection::readRequest()
{
    const std::span<std::uint8_t> input = m_context.loop.input();
    const IoResult read = m_client.read(input);
    if (read.outcome == IoResult::Outcome::WouldBlock)
        return;
    if (!read.done())
        return close({});
    // Whatever follows the request in this read is payload. The decoders bound the request
    // itself: an HTTP head ends within 16 KiB, a SOCKS5 greeting and request within 520 bytes.
    append(m_request, input.first(read.count));
    if (m_kind == Kind::Socks5)
        readSocks();
    else
        readHttp();
}

void ProxyConnection::readSocks()
{
    if (m_state == State::Greeting) {
        const Socks5Request::Greeting greeting = Socks5Request::parseGreeting(m_request);
        if (greeting.step == Socks5Request::Step::Incomplete)
            return;
        if (greeting.step == Socks5Request::Step::Refused)
            return close("the greeting is not SOCKS5");
        m_client.write(Socks5Request::methodReply(greeting.acceptable));
        if (!greeting.acceptable)
            return close("the client offers no method without authentication");
        m_request.erase(m_request.begin(),
                        m_request.begin() + static_cast<long>(greeting.consumed));
        m_state = State::Request;
    }
    const Socks5Request::Request request = Socks5Request::parseRequest(m_request);
    if (request.step == Socks5Request::Step::Incomplete)
        return;
    if (request.step == Socks5Request::Step::Refused) {
        if (request.refusal)
            m_client.write(Socks5Request::reply(request.refusal));
        return close(request.refusal == Socks5Request::kCommandNotSupported
                         ? "the request is neither CONNECT nor UDP ASSOCIATE"
                         : "the request is malformed");
    }
    if (request.command == Socks5Request::Command::UdpAssociate)
        return associate(request.target);
    m_target = request.target;
    route(request.target,
          Bytes(m_request.begin() + static_cast<long>(request.consumed), m_request.end()));
}

void ProxyConnection::associate(const TargetAddress &named)
{
    Bytes().swap(m_request);
    if (m_context.associations >= m_context.limits.maxAssociations)
        return refuse(Socks5Request::kGeneralFailure,
                      std::to_string(m_context.associations) + " UDP associations are open");
    m_association = std::make_unique<UdpAssociation>(m_context, m_peer);
    // The relay port listens where the client reached the proxy: on loopback.
    if (const std::optional<TunnelError> error =
            m_association->open(SocketAddress::local(m_client.fd()), named)) {
        m_association.reset();
        return refuse(Socks5Request::kGeneralFailure,
                      "cannot open a UDP port: " + error->description);
    }
    m_state = State::Associated;
    m_context.loop.cancel(m_timer);
    m_client.write(Socks5Request::reply(Socks5Request::kSucceeded, m_association->address()));
}

void ProxyConnection::readControl()
{
    // Nothing more is expected on the control connection; it is read only to see it end.
    const IoResult read = m_client.read(m_context.loop.input());
    if (!read.done() && read.outcome != IoResult::Outcome::WouldBlock)
        close({});
}

void ProxyConnection::readHttp()
{
    const HttpProxyRequest::Parsed parsed = HttpProxyRequest::parse(m_request);
    if (parsed.step == HttpProxyRequest::Step::Incomplete)
        return;
    if (parsed.step == HttpProxyRequest::Step::Refused) {
        m_client.write(bytesOf(HttpProxyRequest::response(
            parsed.status,
            parsed.status == 431 ? "Request Header Fields Too Large" : "Bad Request")));
        return close("refused the request: " + parsed.problem);
    }
    m_target = parsed.target;
    m_httpTunnel = parsed.tunnel;
    Bytes first(parsed.forward.begin(), parsed.forward.end());
    const ByteView rest = ByteView(m_request).subspan(parsed.consumed);
    if (m_httpTunnel) {
        append(first, rest);
    } else {
        m_requestBody = std::make_unique<HttpRequestBody>(parsed.body, parsed.bodyLength);
        if (!m_requestBody->transform(rest, first)) {
            m_client.write(bytesOf(HttpProxyRequest::response(400, "Bad Request")));
            return close("refused the request: its chunked body is malformed");
        }
    }
    route(parsed.target, std::move(first));
}

void ProxyConnection::route(const TargetAddress &target, Bytes firstBytes,
                            std::optional<RuleSet::Decision> decided)
{
    Bytes().swap(m_request);
    RuleSet::Decision decision = decided ? std::move(*decided) : m_context.rules.decision(target);
    m_rule = std::move(decision.rule);
    m_upAhead = firstBytes.size();
    if (decision.action == RuleSet::Action::Reject)
        return refuse(Socks5Request::kNotAllowed, "the rules reject it");
    if (decision.action == RuleSet::Action::Proxy) {
        std::optional<RelayDialer::Dial> dial = m_context.dialer.dial();
        if (!dial)
            return refuse(Socks5Request::kGeneralFailure, "the relay takes no connections now");
        m_relayed = true;
        m_encoder = std::move(dial->encoder);
        m_decoder = std::move(dial->decoder);
        m_toUpstream = std::move(dial->preamble);
        Bytes plain;
        target.encode(plain);
        append(plain, firstBytes);
        m_encoder->transform(plain, m_toUpstream);
        connectTo(dial->relay);
        // What the relay does with the destination cannot be known before bytes flow, so the
        // client need not wait for the relay's connection either: it can send its first bytes
        // at once, and they go to the relay together with the destination.
        if (m_state == State::Connecting) {
            m_client.write(successReply());
            m_replied = true;
        }
        return;
    }
    m_toUpstream = std::move(firstBytes);
    if (const std::optional<SocketAddress> address = SocketAddress::of(target))
        return connectTo(*address);
    m_state = State::Resolving;
    m_lookup = m_context.resolver.resolve(
        target.name, target.port,
        [this](const std::vector<SocketAddress> &addresses, const std::string &error) {
            m_lookup = 0;
            if (addresses.empty())
                return refuse(Socks5Request::kHostUnreachable, "cannot resolve the name: " + error);
            connectTo(addresses.front());
        });
}

void ProxyConnection::connectTo(const SocketAddress &address)
{
    m_state = State::Connecting;
    std::variant<Socket, TunnelError> connecting = Socket::connect(address);
    if (const auto *error = std::get_if<TunnelError>(&connecting)) {
        // Our own want of descriptors says nothing about the relay.
        if (m_relayed && !DescriptorBudget::isOwnShortage(error->code))
            m_context.dialer.relayUnreachable(error->description);
        return refuse(Socks5Request::kConnectionRefused, "cannot connect: " + error->description);
    }
    m_upstream = std::get<Socket>(std::move(connecting));
    m_upstream.watch(m_context.loop, m_upstreamEnd);
    updateInterest();
}

void ProxyConnection::refuse(std::uint8_t socksCode, const std::string &reason)
{
    // A client told to go ahead only learns that it ends.
    if (m_replied || m_kind == Kind::Transparent)
        return close(reason);
    if (m_kind == Kind::Socks5)
        m_client.write(Socks5Request::reply(socksCode));
    else
        m_client.write(bytesOf(HttpProxyRequest::response(502, "Bad Gateway")));
    close(reason);
}

Bytes ProxyConnection::successReply() const
{
    if (m_kind == Kind::Socks5)
        return Socks5Request::reply(Socks5Request::kSucceeded);
    if (m_kind == Kind::Transparent)
        return {};
    return m_httpTunnel ? Bytes(kTunnelEstablished.begin(), kTunnelEstablished.end()) : Bytes();
}

void ProxyConnection::connected()
{
    m_state = State::Piping;
    m_context.loop.cancel(m_timer);
    if (m_requestBody) {
        m_requestBody->then(std::move(m_encoder));
        m_encoder = std::move(m_requestBody);
        m_decoder = std::make_unique<HttpResponseHead>(std::move(m_decoder));
    }
    if (m_relayed) {
        // What the client sent meanwhile travels in the relay's first segment.
        const std::span<std::uint8_t> input = m_context.loop.input();
        const IoResult read = m_client.read(input);
        if (read.done() && !m_encoder->transform(input.first(read.count), m_toUpstream))
            return close("the client sent bytes that do not decode");
        if (read.done())
            m_upAhead += read.count;
    }
    Bytes reply = m_replied ? Bytes() : successReply();
    m_replyInPipe = reply.size();
    m_pipe = std::make_unique<Pipe>(
        m_context.loop,
        Pipe::End{std::move(m_client), std::move(m_encoder), "the client", std::move(reply)},
        Pipe::End{std::move(m_upstream), std::move(m_decoder),
                  m_relayed ? "the relay" : "the destination", std::exchange(m_toUpstream, {})},
        m_context.limits.idleTimeout, [this](const std::string &reason) { close(reason); });
    m_pipe->start();
}

TrafficTotals ProxyConnection::traffic() const
{
    std::uint64_t up = m_upAhead;
    std::uint64_t down = 0;
    if (m_pipe) {
        up += m_pipe->readFrom(0);
        down = m_pipe->writtenTo(0) - std::min(m_pipe->writtenTo(0), m_replyInPipe);
    }
    TrafficTotals totals = m_association ? m_association->traffic() : m_datagramTraffic;
    (m_relayed ? totals.relayUp : totals.directUp) += up;
    (m_relayed ? totals.relayDown : totals.directDown) += down;
    return totals;
}

std::optional<ConnectionTraffic> ProxyConnection::report() const
{
    if (m_rule.empty() || m_state == State::Closed)
        return std::nullopt;
    const TrafficTotals totals = traffic();
    return ConnectionTraffic{m_target.text(), m_rule,        m_relayed,
                             totals.up(),     totals.down(), m_context.loop.now() - m_opened};
}

void ProxyConnection::updateInterest()
{
    const bool reading =
        m_state == State::Greeting || m_state == State::Request || m_state == State::Associated;
    std::optional<TunnelError> error = m_client.want({reading, false});
    if (!error)
        error = m_upstream.want({false, m_state == State::Connecting});
    if (error)
        close(error->description);
}

} // namespace corvane::tunnel
