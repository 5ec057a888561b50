#pragma once

#include "tunnel/relay/TargetAddress.h"

#include <variant>

namespace corvane::tunnel {

// One datagram as every relay form carries it: the destination (towards the relay) or the
// source of an answer (back from it), and the payload.
struct Datagram
{
    // The largest UDP payload over IPv4 (65,535 less the IPv4 and UDP headers): no packet of
    // any form, and no SOCKS5 datagram, is larger.
    static constexpr std::size_t kMaxSize = 65507;

    TargetAddress address;
    Bytes payload;
};

// Why a received packet yields no datagram. Each is dropped and counted by the caller, never
// the association or the tunnel.
enum class DatagramFault
{
    // Over Datagram::kMaxSize.
    TooLarge,
    // Not this form: too short for its fixed fields, a field of a value it cannot have, or (once
    // opened) no address form at its start.
    Malformed,
    // A SOCKS5 datagram with FRAG other than 0: fragments are not reassembled.
    Fragmented,
    // The tag does not match: another key, or a byte changed on the way.
    DoesNotOpen,
    // A service packet of another tunnel than the codec's.
    OtherTunnel,
    // A service packet whose number was taken already or lies too far below the highest.
    Replayed
};

using OpenedDatagram = std::variant<Datagram, DatagramFault>;

// What a fault is, for a log line: "it <text>".
const char *describe(DatagramFault fault);

// One end of a relay's datagram form: seals what goes to the other end, opens what comes from
// it. A packet never depends on another, so they may arrive in any order or not at all.
class DatagramCodec
{
public:
    virtual ~DatagramCodec() = default;
    // Appends the packet for `payload` to or from `address` to `out`; false, with `out` as it
    // was, when the packet would exceed Datagram::kMaxSize.
    virtual bool seal(const TargetAddress &address, ByteView payload, Bytes &out) = 0;
    virtual OpenedDatagram open(ByteView packet) = 0;

protected:
    // The datagram an opened packet holds: its address form, then the payload.
    static OpenedDatagram fromPlain(ByteView plain);
};

} // namespace corvane::tunnel
