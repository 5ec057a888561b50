#pragma once

#include "tunnel/service/ServiceHello.h"

#include <string_view>

namespace corvane::tunnel {

// The service relay's key schedule (docs/tunnel-helper.md): the keys of a control connection
// from its X25519 exchange, and those of each proxied connection and of the datagrams from the
// tunnel key.
struct ServiceKeys
{
    using Key = std::array<std::uint8_t, 32>;

    Key clientToRelay{};
    Key relayToClient{};

    // An open: also yields the tunnel key that later resumes and connections derive from.
    static ServiceKeys forOpen(ByteView shared, std::string_view password, ByteView clientPublic,
                               ByteView relayPublic, Key &tunnelKey);
    static ServiceKeys forResume(ByteView shared, const Key &tunnelKey, const TunnelId &tunnel,
                                 ByteView clientPublic, ByteView relayPublic);
    static ServiceKeys forConnection(const Key &tunnelKey, const TunnelId &tunnel,
                                     std::uint64_t number);
    // The tunnel's datagrams, over UDP and over a datagram connection alike.
    static ServiceKeys forDatagrams(const Key &tunnelKey, const TunnelId &tunnel);
};

} // namespace corvane::tunnel
