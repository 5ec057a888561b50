#pragma once

#include "tunnel/service/ServiceHello.h"

#include <functional>
#include <optional>

namespace corvane::tunnel {

// UDP-over-TCP for the service relay's datagrams, where UDP to the relay does not pass: a TCP
// connection to the relay's port that starts with `01 04` || tunnel id (the client's hello,
// kind 4) and then carries, both ways, each packet exactly as over UDP behind its 2-byte
// big-endian length. The relay sends nothing first.
class ServiceDatagramStream final
{
public:
    static constexpr std::size_t kHelloSize = 2 + sizeof(TunnelId);
    // Hands over one whole packet; returns false to stop reading.
    using Packet = std::function<bool(ByteView packet)>;
    enum class Reader
    {
        // Reads the hello first, then the client's packets.
        Relay,
        // Reads the relay's packets.
        Client
    };

    explicit ServiceDatagramStream(Reader reader);

    static void encodeHello(const TunnelId &tunnel, Bytes &out);
    // Appends `packet` behind its length; false, with `out` as it was, for an empty packet or
    // one over Datagram::kMaxSize.
    static bool encode(ByteView packet, Bytes &out);

    // Takes the connection's next bytes and hands over each packet they complete; false when
    // they cannot be this stream (another hello, a length of 0 or over Datagram::kMaxSize) or
    // `packet` stopped: the connection is then closed.
    bool decode(ByteView wire, const Packet &packet);
    // The tunnel the hello named, once it is read.
    const std::optional<TunnelId> &tunnel() const { return m_tunnel; }

private:
    bool takeHello(ByteView &wire);

    std::optional<TunnelId> m_tunnel;
    bool m_helloNext;
    // What the wire has only partly delivered; empty (and without storage) between packets.
    Bytes m_partial;
};

} // namespace corvane::tunnel
