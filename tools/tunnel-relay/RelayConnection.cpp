#include "RelayConnection.h"

#include "RelayServer.h"
#include "tunnel/crypto/KeyDerivation.h"
#include "tunnel/service/ServiceDatagram.h"

namespace corvane::tunnel {

namespace {
// The destination's address form comes within this many bytes, with some payload.
constexpr std::size_t kMaxTargetBytes = 64 * 1024;
// Answers a datagram connection's client has not taken yet; later ones are dropped, as UDP
// would drop them.
constexpr std::size_t kMaxDatagramBacklog = 1024 * 1024;
} // namespace

RelayConnection::RelayConnection(RelayServer &server, Socket socket, std::string peer)
    : m_server(server), m_socket(std::move(socket)), m_peer(std::move(peer))
{
    m_targetEnd.owner = this;
}

RelayConnection::~RelayConnection() = default;

void RelayConnection::start()
{
    const RelayServer::Options &options = m_server.m_options;
    if (options.plain) {
        m_decoder = options.plain->decoder();
        m_encoder = options.plain->encoder();
        m_state = State::Target;
    }
    m_lastActive = m_server.m_loop.now();
    m_socket.watch(m_server.m_loop, *this);
    updateInterest();
    m_timer = m_server.m_loop.after(options.handshakeTimeout, [this] {
        m_timer = {};
        if (m_state != State::Control && m_state != State::Datagrams)
            return close("no complete handshake within " +
                         std::to_string(m_server.m_options.handshakeTimeout.count()) + " s");
    });
}

void RelayConnection::close(const std::string &reason)
{
    if (m_state == State::Closed)
        return;
    if (!reason.empty())
        m_server.log("Closed the connection from " + m_peer + ": " + reason);
    m_state = State::Closed;
    m_server.m_loop.cancel(m_timer);
    if (m_lookup)
        m_server.m_resolver.cancel(std::exchange(m_lookup, 0));
    if (m_pipe)
        m_pipe->stop();
    m_socket.close();
    m_target.close();
    if (m_controlOf) {
        RelayTunnel *tunnel = std::exchange(m_controlOf, nullptr);
        if (tunnel->control == this)
            m_server.controlGone(*tunnel);
    }
    if (const TunnelId *id = datagramsOf()) {
        RelayTunnel *tunnel = m_server.tunnel(*id);
        if (tunnel && tunnel->datagrams)
            tunnel->datagrams->streamGone(this);
    }
    m_server.release(this);
}

void RelayConnection::onEvents(Readiness ready)
{
    if (m_state == State::Closed)
        return;
    if (ready.writable && !m_out.empty())
        sendRaw({});
    if (m_state != State::Closed && ready.readable)
        readClient();
    updateInterest();
}

void RelayConnection::readClient()
{
    const std::span<std::uint8_t> input = m_server.m_loop.input();
    const IoResult read = m_socket.read(input);
    if (read.outcome == IoResult::Outcome::WouldBlock)
        return;
    if (!read.done())
        return close(m_state == State::Control || m_state == State::Datagrams
                         ? ""
                         : "the client left during the handshake");
    m_lastActive = m_server.m_loop.now();
    const ByteView data = input.first(read.count);
    switch (m_state) {
    case State::Hello:
        append(m_in, data);
        return takeHello();
    case State::Handshake:
    case State::Control:
        return takeControlBytes(data);
    case State::Target:
        return takeTargetBytes(data);
    case State::Datagrams:
        return takeDatagramBytes(data);
    default:
        return;
    }
}

void RelayConnection::takeHello()
{
    const ServiceHello::Decoded decoded = ServiceHello::decode(m_in);
    if (decoded.malformed)
        return close("the first bytes are not a hello of this protocol");
    if (!decoded.hello)
        return;
    if (decoded.hello->kind == ServiceHello::Kind::Datagrams) {
        const Bytes wire = std::exchange(m_in, {});
        return carryDatagrams(*decoded.hello, wire);
    }
    const Bytes rest(m_in.begin() + static_cast<long>(decoded.consumed), m_in.end());
    Bytes().swap(m_in);
    switch (decoded.hello->kind) {
    case ServiceHello::Kind::Open:
        open(*decoded.hello);
        break;
    case ServiceHello::Kind::Resume:
        resume(*decoded.hello);
        break;
    case ServiceHello::Kind::Attach:
        return attach(*decoded.hello, rest);
    case ServiceHello::Kind::Datagrams:
        break;
    }
    if (m_state == State::Handshake && !rest.empty())
        takeControlBytes(rest);
}

void RelayConnection::open(const ServiceHello &hello)
{
    m_keyPair.emplace();
    const std::optional<X25519KeyPair::Key> shared = m_keyPair->agree(hello.publicKey);
    if (!shared)
        return close("the client's key is unusable");
    Bytes reply;
    ServiceHelloReply{true, m_keyPair->publicKey()}.encode(reply);
    const ServiceKeys keys = ServiceKeys::forOpen(
        *shared, m_server.m_options.password, hello.publicKey, m_keyPair->publicKey(), m_tunnelKey);
    m_keyPair.reset();
    m_sealer.emplace(keys.relayToClient);
    m_opener.emplace(keys.clientToRelay);
    m_state = State::Handshake;
    sendRaw(reply);
}

void RelayConnection::resume(const ServiceHello &hello)
{
    RelayTunnel *tunnel = m_server.tunnel(hello.tunnel);
    if (!tunnel) {
        Bytes reply;
        ServiceHelloReply{false, {}}.encode(reply);
        m_closeWhenSent = true;
        m_server.log("Refused to resume an unknown tunnel from " + m_peer);
        return sendRaw(reply);
    }
    m_keyPair.emplace();
    const std::optional<X25519KeyPair::Key> shared = m_keyPair->agree(hello.publicKey);
    if (!shared)
        return close("the client's key is unusable");
    Bytes reply;
    ServiceHelloReply{true, m_keyPair->publicKey()}.encode(reply);
    const ServiceKeys keys = ServiceKeys::forResume(*shared, tunnel->key, hello.tunnel,
                                                    hello.publicKey, m_keyPair->publicKey());
    m_keyPair.reset();
    m_sealer.emplace(keys.relayToClient);
    m_opener.emplace(keys.clientToRelay);
    m_tunnelId = hello.tunnel;
    m_resuming = true;
    m_state = State::Handshake;
    sendRaw(reply);
}

void RelayConnection::attach(const ServiceHello &hello, ByteView rest)
{
    RelayTunnel *tunnel = m_server.tunnel(hello.tunnel);
    if (!tunnel)
        return close("a connection for an unknown tunnel");
    if (!tunnel->takeNumber(hello.number))
        return close("connection number " + std::to_string(hello.number) +
                     " was used before or is too old");
    const ServiceKeys keys = ServiceKeys::forConnection(tunnel->key, hello.tunnel, hello.number);
    m_decoder = std::make_unique<ChunkDecoder>(keys.clientToRelay);
    m_encoder = std::make_unique<ChunkEncoder>(keys.relayToClient);
    m_bindFrom = tunnel->bindFrom;
    m_state = State::Target;
    if (!rest.empty())
        takeTargetBytes(rest);
}

void RelayConnection::carryDatagrams(const ServiceHello &hello, ByteView wire)
{
    if (!m_server.tunnel(hello.tunnel))
        return close("a datagram connection for an unknown tunnel");
    m_tunnelId = hello.tunnel;
    m_state = State::Datagrams;
    m_server.m_loop.cancel(m_timer);
    // The stream reads the hello again, so that it checks it is the one it carries.
    m_datagrams.emplace(ServiceDatagramStream::Reader::Relay);
    takeDatagramBytes(wire);
}

void RelayConnection::takeDatagramBytes(ByteView wire)
{
    const bool carried = m_datagrams->decode(wire, [this](ByteView packet) {
        // A packet of another tunnel has no place here; it is dropped as over UDP.
        if (ServiceDatagram::tunnelOf(packet) == m_tunnelId)
            m_server.m_datagrams.take(packet, nullptr, this);
        return m_state == State::Datagrams;
    });
    if (!carried && m_state == State::Datagrams)
        close("a datagram connection's length is 0 or too large");
}

void RelayConnection::sendDatagram(ByteView packet)
{
    if (m_state != State::Datagrams || m_out.size() > kMaxDatagramBacklog)
        return;
    Bytes framed;
    if (ServiceDatagramStream::encode(packet, framed))
        sendRaw(framed);
}

const TunnelId *RelayConnection::datagramsOf() const
{
    return m_datagrams ? &m_tunnelId : nullptr;
}

void RelayConnection::takeControlBytes(ByteView wire)
{
    // Messages are taken after decoding: taking one may close the connection and its decoder.
    std::vector<ServiceMessage> messages;
    bool malformed = false;
    const bool opened = m_opener->decodeChunks(wire, [&](ByteView payload) {
        std::optional<ServiceMessage> message = ServiceMessage::decode(payload);
        if (!message)
            malformed = true;
        else
            messages.push_back(std::move(*message));
        return !malformed;
    });
    for (const ServiceMessage &message : messages) {
        if (!takeMessage(message))
            return;
    }
    if (malformed)
        return close("a malformed message");
    if (!opened)
        return close("frames that do not open (a wrong key, or not this protocol)");
}

bool RelayConnection::takeMessage(const ServiceMessage &message)
{
    using Type = ServiceMessage::Type;
    if (m_state == State::Handshake && !m_resuming && message.type == Type::Auth) {
        const RelayServer::Decision decision = m_server.m_authorise(message.text);
        if (!decision.accepted) {
            m_server.log("Refused a tunnel from " + m_peer + ": " + decision.reason);
            m_closeWhenSent = true;
            send(ServiceMessage{Type::Refuse, {}, decision.reason});
            return false;
        }
        RelayTunnel &tunnel = m_server.newTunnel(m_tunnelKey, decision);
        m_tunnelId = tunnel.id;
        m_server.log("Accepted a tunnel from " + m_peer + "; exit address " + decision.exitAddress);
    } else if (m_state == State::Handshake && m_resuming && message.type == Type::Resume) {
        m_server.log("Resumed a tunnel from " + m_peer);
    } else if (m_state == State::Control && message.type == Type::Ping) {
        send(ServiceMessage{Type::Pong, {}, {}});
        return m_state != State::Closed;
    } else if (m_state == State::Control && message.type == Type::Close) {
        // The tunnel goes first, so the close does not wait for a control connection again.
        m_controlOf = nullptr;
        m_server.forget(m_tunnelId);
        close({});
        return false;
    } else {
        close("an unexpected message");
        return false;
    }
    RelayTunnel *tunnel = m_server.tunnel(m_tunnelId);
    if (!tunnel) {
        close("the tunnel is gone");
        return false;
    }
    // A resumed control connection replaces one the relay has not seen go yet.
    if (tunnel->control && tunnel->control != this)
        tunnel->control->close("replaced by a resumed control connection");
    tunnel->control = this;
    m_server.m_loop.cancel(tunnel->forget);
    m_controlOf = tunnel;
    m_state = State::Control;
    m_server.m_loop.cancel(m_timer);
    send(ServiceMessage{Type::Accept, tunnel->id, tunnel->exitAddress});
    return m_state != State::Closed;
}

void RelayConnection::takeTargetBytes(ByteView wire)
{
    if (!m_decoder->transform(wire, m_in))
        return close("bytes that do not decode (a wrong password or key?)");
    if (m_in.size() > kMaxTargetBytes)
        return close("too many bytes before the destination");
    const TargetAddress::Decoded decoded = TargetAddress::decode(m_in);
    if (!decoded.address) {
        if (decoded.problem != TargetAddress::Problem::Incomplete)
            return close("the destination's address is malformed");
        return;
    }
    m_destination = *decoded.address;
    m_in.erase(m_in.begin(), m_in.begin() + static_cast<long>(decoded.consumed));
    m_state = State::Connecting;
    if (const std::optional<SocketAddress> address = SocketAddress::of(m_destination))
        return connectTo(*address);
    m_lookup = m_server.m_resolver.resolve(
        m_destination.name, m_destination.port,
        [this](const std::vector<SocketAddress> &addresses, const std::string &error) {
            m_lookup = 0;
            if (addresses.empty())
                return close("cannot resolve " + m_destination.name + ": " + error);
            connectTo(addresses.front());
        });
}

void RelayConnection::connectTo(const SocketAddress &address)
{
    const SocketAddress *from =
        m_bindFrom && m_bindFrom->family() == address.family() ? &*m_bindFrom : nullptr;
    std::variant<Socket, TunnelError> connecting = Socket::connect(address, from);
    if (const auto *error = std::get_if<TunnelError>(&connecting))
        return close("cannot connect to " + m_destination.text() + ": " + error->description);
    m_target = std::get<Socket>(std::move(connecting));
    m_target.watch(m_server.m_loop, m_targetEnd);
    if (const std::optional<TunnelError> error = m_target.want({false, true}))
        return close(error->description);
    updateInterest();
}

void RelayConnection::connected()
{
    if (m_state != State::Connecting)
        return;
    if (const std::optional<TunnelError> error = m_target.connectError())
        return close("cannot connect to " + m_destination.text() + ": " + error->description);
    m_state = State::Piping;
    m_server.m_loop.cancel(m_timer);
    m_pipe = std::make_unique<Pipe>(
        m_server.m_loop, Pipe::End{std::move(m_socket), std::move(m_decoder), "the client", {}},
        Pipe::End{std::move(m_target), std::move(m_encoder), "the destination",
                  std::exchange(m_in, {})},
        m_server.m_options.idleTimeout, [this](const std::string &reason) { close(reason); });
    m_pipe->start();
}

void RelayConnection::send(const ServiceMessage &message)
{
    Bytes sealed;
    m_sealer->transform(message.encode(), sealed);
    sendRaw(sealed);
}

void RelayConnection::sendRaw(ByteView bytes)
{
    append(m_out, bytes);
    const IoResult written = m_socket.write(m_out);
    if (written.failed())
        return close({});
    m_out.erase(m_out.begin(), m_out.begin() + static_cast<long>(written.count));
    if (m_out.empty() && m_closeWhenSent)
        return close({});
    updateInterest();
}

void RelayConnection::updateInterest()
{
    if (m_state == State::Closed || !m_socket.isOpen())
        return;
    const bool reading =
        m_state != State::Connecting && m_state != State::Piping && !m_closeWhenSent;
    if (const std::optional<TunnelError> error = m_socket.want({reading, !m_out.empty()}))
        close(error->description);
}

} // namespace corvane::tunnel
