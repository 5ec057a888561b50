#pragma once

#include "tunnel/crypto/PacketAead.h"
#include "tunnel/relay/DatagramCodec.h"
#include "tunnel/service/ReplayWindow.h"
#include "tunnel/service/ServiceKeys.h"

#include <optional>

namespace corvane::tunnel {

// The service relay's datagrams (docs/tunnel-helper.md) at one end of one accepted tunnel:
// `01 04` || tunnel id || packet number (8 bytes) || sealed(address form || payload), the
// first 26 bytes unsealed but covered by the tag. One object lives as long as the tunnel: the
// keys come from the tunnel key, which resumes keep, so its numbers must never start again.
class ServiceDatagram final : public DatagramCodec
{
public:
    static constexpr std::uint8_t kVersion = 1;
    static constexpr std::uint8_t kKind = 4;
    static constexpr std::size_t kHeaderSize = 2 + sizeof(TunnelId) + 8;
    static constexpr std::size_t kOverhead = kHeaderSize + PacketAead::kTagSize;
    enum class End
    {
        Client,
        Relay
    };

    ServiceDatagram(const ServiceKeys::Key &tunnelKey, const TunnelId &tunnel, End end);

    bool seal(const TargetAddress &address, ByteView payload, Bytes &out) override;
    OpenedDatagram open(ByteView packet) override;

    // The tunnel a packet names, for the relay to find that tunnel's codec; none for bytes that
    // cannot be a packet of this form.
    static std::optional<TunnelId> tunnelOf(ByteView packet);

private:
    ServiceDatagram(const ServiceKeys &keys, const TunnelId &tunnel, End end);

    TunnelId m_tunnel{};
    PacketAead m_sealer;
    PacketAead m_opener;
    std::uint64_t m_next = 0;
    ReplayWindow m_window;
};

} // namespace corvane::tunnel
