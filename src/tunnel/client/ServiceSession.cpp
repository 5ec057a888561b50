#include "tunnel/client/ServiceSession.h"

namespace corvane::tunnel {

ServiceSession::ServiceSession(EventLoop &loop, SessionTimings timings, Events events,
                               std::string password, std::string auth)
    : RelaySession(loop, timings, std::move(events)), m_password(std::move(password)),
      m_auth(std::move(auth))
{}

ServiceSession::~ServiceSession()
{
    m_stopped = true;
    closeControl();
}

void ServiceSession::start(const SocketAddress &relay)
{
    m_relay = relay;
    m_since = m_loop.now();
    openControl();
}

void ServiceSession::stop()
{
    if (m_stopped)
        return;
    if (m_phase == Phase::Up)
        send(ServiceMessage{ServiceMessage::Type::Close, {}, {}});
    m_stopped = true;
    closeControl();
    m_datagrams.reset();
}

std::unique_ptr<DatagramChannel> ServiceSession::openDatagrams(DatagramChannel::Receiver receiver)
{
    if (!m_datagrams || m_state == State::Down)
        return nullptr;
    return m_datagrams->open(std::move(receiver));
}

std::optional<RelaySession::Dial> ServiceSession::dial()
{
    if (!m_accepted || m_state == State::Down)
        return std::nullopt;
    const std::uint64_t number = ++m_connections;
    const ServiceKeys keys = ServiceKeys::forConnection(m_tunnelKey, m_tunnel, number);
    Dial dial{m_relay,
              {},
              std::make_unique<ChunkEncoder>(keys.clientToRelay),
              std::make_unique<ChunkDecoder>(keys.relayToClient)};
    ServiceHello{ServiceHello::Kind::Attach, m_tunnel, {}, number}.encode(dial.preamble);
    return dial;
}

void ServiceSession::openControl()
{
    closeControl();
    std::variant<Socket, TunnelError> connecting = Socket::connect(m_relay);
    if (const auto *error = std::get_if<TunnelError>(&connecting))
        return failed(error->description, true);
    m_control = std::get<Socket>(std::move(connecting));
    m_control.watch(m_loop, *this);
    m_phase = Phase::Connecting;
    m_keyPair.emplace();
    watchControl();
    if (!m_control.isOpen())
        return;
    m_attemptTimer = m_loop.after(m_timings.answerWithin, [this] {
        m_attemptTimer = {};
        failed("no answer within " + std::to_string(m_timings.answerWithin.count()) + " s",
               m_phase == Phase::Connecting);
    });
}

void ServiceSession::closeControl()
{
    m_loop.cancel(m_attemptTimer);
    m_loop.cancel(m_keepAliveTimer);
    m_loop.cancel(m_answerTimer);
    m_control.close();
    m_phase = Phase::Idle;
    m_sealer.reset();
    m_opener.reset();
    Bytes().swap(m_in);
    Bytes().swap(m_out);
}

void ServiceSession::watchControl()
{
    const bool connecting = m_phase == Phase::Connecting;
    if (const std::optional<TunnelError> error =
            m_control.want({!connecting, connecting || !m_out.empty()}))
        failed(error->description, connecting);
}

void ServiceSession::onEvents(Readiness ready)
{
    if (m_phase == Phase::Connecting) {
        if (const std::optional<TunnelError> error = m_control.connectError())
            return failed(error->description, true);
        m_phase = Phase::AwaitReply;
        Bytes hello;
        ServiceHello{m_accepted ? ServiceHello::Kind::Resume : ServiceHello::Kind::Open, m_tunnel,
                     m_keyPair->publicKey(), 0}
            .encode(hello);
        sendRaw(hello);
    } else {
        if (ready.writable && !m_out.empty())
            sendRaw({});
        if (m_control.isOpen() && ready.readable)
            readControl();
    }
    watchControl();
}

void ServiceSession::sendRaw(ByteView bytes)
{
    append(m_out, bytes);
    const IoResult written = m_control.write(m_out);
    if (written.failed())
        return failed("the connection to the relay broke", false);
    m_out.erase(m_out.begin(), m_out.begin() + static_cast<long>(written.count));
}

void ServiceSession::send(const ServiceMessage &message)
{
    Bytes sealed;
    m_sealer->transform(message.encode(), sealed);
    sendRaw(sealed);
}

void ServiceSession::readControl()
{
    const std::span<std::uint8_t> input = m_loop.input();
    const IoResult read = m_control.read(input);
    if (read.outcome == IoResult::Outcome::WouldBlock)
        return;
    if (!read.done())
        return failed("the relay closed the connection", false);
    ByteView data = input.first(read.count);
    if (m_phase == Phase::AwaitReply) {
        append(m_in, data);
        if (m_in.size() < ServiceHelloReply::kSize) {
            bool malformed = false;
            ServiceHelloReply::decode(m_in, malformed);
            if (malformed)
                brokeProtocol("the relay does not speak this protocol");
            return;
        }
        const Bytes rest(m_in.begin() + ServiceHelloReply::kSize, m_in.end());
        takeReply();
        if (m_phase != Phase::AwaitAccept)
            return;
        Bytes().swap(m_in);
        if (rest.empty())
            return;
        append(m_in, rest);
        data = m_in;
    }
    // Messages are taken after decoding: taking one may close the connection and its decoder.
    std::vector<Bytes> payloads;
    const bool ok = m_opener->decodeChunks(data, [&payloads](ByteView payload) {
        payloads.emplace_back(payload.begin(), payload.end());
        return true;
    });
    for (const Bytes &payload : payloads) {
        if (!takeMessage(payload))
            return;
    }
    if (!ok)
        brokeProtocol("the relay's frames do not open");
}

void ServiceSession::takeReply()
{
    bool malformed = false;
    const std::optional<ServiceHelloReply> reply = ServiceHelloReply::decode(m_in, malformed);
    if (!reply)
        return brokeProtocol("the relay does not speak this protocol");
    if (!reply->known) {
        closeControl();
        return report(State::Down, "the relay no longer knows this tunnel");
    }
    const std::optional<X25519KeyPair::Key> shared = m_keyPair->agree(reply->publicKey);
    if (!shared)
        return brokeProtocol("the relay's key is unusable");
    const ServiceKeys keys = m_accepted
                                 ? ServiceKeys::forResume(*shared, m_tunnelKey, m_tunnel,
                                                          m_keyPair->publicKey(), reply->publicKey)
                                 : ServiceKeys::forOpen(*shared, m_password, m_keyPair->publicKey(),
                                                        reply->publicKey, m_tunnelKey);
    m_keyPair.reset();
    m_sealer.emplace(keys.clientToRelay);
    m_opener.emplace(keys.relayToClient);
    m_phase = Phase::AwaitAccept;
    // The string goes to this relay only, sealed, and only in an open.
    send(m_accepted ? ServiceMessage{ServiceMessage::Type::Resume, {}, {}}
                    : ServiceMessage{ServiceMessage::Type::Auth, {}, m_auth});
}

bool ServiceSession::takeMessage(ByteView payload)
{
    using Type = ServiceMessage::Type;
    const std::optional<ServiceMessage> message = ServiceMessage::decode(payload);
    // A refusal whose words break the limits is still a refusal; the words are not passed on.
    if (!message && m_phase == Phase::AwaitAccept && !payload.empty() &&
        payload[0] == static_cast<std::uint8_t>(Type::Refuse)) {
        refused({});
        return false;
    }
    if (!message) {
        brokeProtocol("the relay sent a malformed or oversized message");
        return false;
    }
    if (m_phase == Phase::AwaitAccept && message->type == Type::Refuse) {
        refused(message->text);
        return false;
    }
    if (m_phase == Phase::AwaitAccept && message->type == Type::Accept) {
        if (m_accepted && message->tunnel != m_tunnel) {
            brokeProtocol("the relay resumed another tunnel");
            return false;
        }
        m_loop.cancel(m_attemptTimer);
        m_tunnel = message->tunnel;
        // One link for the tunnel's life: resumes keep its numbers going.
        if (!m_datagrams)
            m_datagrams = std::make_unique<ServiceDatagramLink>(
                m_loop, m_relay, m_tunnelKey, m_tunnel, m_datagramPath, m_events.log);
        m_accepted = true;
        m_phase = Phase::Up;
        if (message->text != m_exitAddress && m_events.log)
            m_events.log("The relay accepted the tunnel; exit address " + message->text);
        m_exitAddress = message->text;
        keepAlive();
        report(State::Connected);
        return true;
    }
    if (m_phase == Phase::Up && message->type == Type::Pong) {
        m_loop.cancel(m_answerTimer);
        return true;
    }
    brokeProtocol("the relay sent an unexpected message");
    return false;
}

void ServiceSession::refused(const std::string &words)
{
    closeControl();
    m_refusal = words;
    report(State::Down, words.empty() ? "the relay refused the tunnel, with a reason over "
                                        "1 KiB or holding a control character"
                                      : "the relay refused the tunnel: " + words);
}

void ServiceSession::brokeProtocol(const std::string &reason)
{
    m_brokeProtocol = true;
    failed(reason, false);
}

void ServiceSession::checkNow()
{
    // A ping already waiting for its answer checks the relay as well.
    if (m_phase == Phase::Up && !m_answerTimer)
        ping();
}

void ServiceSession::keepAlive()
{
    m_loop.cancel(m_keepAliveTimer);
    m_keepAliveTimer = m_loop.after(m_timings.keepAlive, [this] {
        m_keepAliveTimer = {};
        ping();
    });
}

void ServiceSession::ping()
{
    send(ServiceMessage{ServiceMessage::Type::Ping, {}, {}});
    if (m_control.isOpen())
        watchControl();
    if (!m_control.isOpen())
        return;
    m_loop.cancel(m_answerTimer);
    m_answerTimer = m_loop.after(m_timings.answerWithin, [this] {
        m_answerTimer = {};
        failed("the relay did not answer within " + std::to_string(m_timings.answerWithin.count()) +
                   " s",
               false);
    });
    keepAlive();
}

void ServiceSession::failed(const std::string &reason, bool nothingSent)
{
    if (m_stopped)
        return;
    closeControl();
    if (!m_accepted && !nothingSent)
        return report(State::Down, reason);
    lost(reason);
    const auto delay = retryDelay();
    if (!delay) {
        const std::string what = m_accepted ? "lost the relay " : "cannot reach the relay ";
        return report(State::Down, what + m_relay.text() + ": " + reason);
    }
    m_attemptTimer = m_loop.after(*delay, [this] {
        m_attemptTimer = {};
        openControl();
    });
}

} // namespace corvane::tunnel
