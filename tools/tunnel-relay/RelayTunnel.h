#pragma once

#include "TunnelDatagrams.h"
#include "tunnel/engine/EventLoop.h"
#include "tunnel/engine/SocketAddress.h"
#include "tunnel/service/ServiceKeys.h"

#include <bitset>
#include <memory>
#include <optional>
#include <string>

namespace corvane::tunnel {

class RelayConnection;

// A tunnel the service relay accepted: its key, its exit address, its control connection
// while there is one, the numbers of the connections already attached, and its datagrams.
struct RelayTunnel
{
    static constexpr std::uint64_t kWindow = 8192;

    TunnelId id{};
    ServiceKeys::Key key{};
    std::string exitAddress;
    // The address outgoing connections are bound to, when the exit address is one of this
    // machine's.
    std::optional<SocketAddress> bindFrom;
    RelayConnection *control = nullptr;
    EventLoop::Timer forget;
    // From the tunnel's first authentic datagram on; it ends with the tunnel.
    std::unique_ptr<TunnelDatagrams> datagrams;

    // True for a number not seen before and not too far below the highest seen; it then
    // counts as seen.
    bool takeNumber(std::uint64_t number);

private:
    std::uint64_t m_highest = 0;
    std::bitset<kWindow> m_seen;
};

} // namespace corvane::tunnel
