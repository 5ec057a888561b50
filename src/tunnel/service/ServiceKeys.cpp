#include "tunnel/service/ServiceKeys.h"

#include "tunnel/crypto/KeyDerivation.h"

#include <algorithm>

namespace corvane::tunnel {

namespace {
ServiceKeys split(std::span<const std::uint8_t> material)
{
    ServiceKeys keys;
    std::copy_n(material.begin(), 32, keys.clientToRelay.begin());
    std::copy_n(material.begin() + 32, 32, keys.relayToClient.begin());
    return keys;
}
} // namespace

ServiceKeys ServiceKeys::forOpen(ByteView shared, std::string_view password, ByteView clientPublic,
                                 ByteView relayPublic, Key &tunnelKey)
{
    Bytes info;
    append(info, bytesOf("corvane-tunnel open"));
    append(info, clientPublic);
    append(info, relayPublic);
    std::array<std::uint8_t, 96> material{};
    KeyDerivation::hkdf(KeyDerivation::Hash::Sha256, shared, bytesOf(password), info, material);
    std::copy_n(material.begin() + 64, 32, tunnelKey.begin());
    return split(material);
}

ServiceKeys ServiceKeys::forResume(ByteView shared, const Key &tunnelKey, const TunnelId &tunnel,
                                   ByteView clientPublic, ByteView relayPublic)
{
    Bytes info;
    append(info, bytesOf("corvane-tunnel resume"));
    append(info, tunnel);
    append(info, clientPublic);
    append(info, relayPublic);
    std::array<std::uint8_t, 64> material{};
    KeyDerivation::hkdf(KeyDerivation::Hash::Sha256, shared, tunnelKey, info, material);
    return split(material);
}

ServiceKeys ServiceKeys::forConnection(const Key &tunnelKey, const TunnelId &tunnel,
                                       std::uint64_t number)
{
    Bytes info;
    append(info, bytesOf("corvane-tunnel connection"));
    append(info, tunnel);
    for (int shift = 56; shift >= 0; shift -= 8)
        info.push_back(static_cast<std::uint8_t>(number >> shift));
    std::array<std::uint8_t, 64> material{};
    KeyDerivation::hkdf(KeyDerivation::Hash::Sha256, tunnelKey, {}, info, material);
    return split(material);
}

ServiceKeys ServiceKeys::forDatagrams(const Key &tunnelKey, const TunnelId &tunnel)
{
    Bytes info;
    append(info, bytesOf("corvane-tunnel datagram"));
    append(info, tunnel);
    std::array<std::uint8_t, 64> material{};
    KeyDerivation::hkdf(KeyDerivation::Hash::Sha256, tunnelKey, {}, info, material);
    return split(material);
}

} // namespace corvane::tunnel
