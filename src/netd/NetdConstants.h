#pragma once

#include <QString>

#include <cstdint>

namespace corvane::netd {

// The fixed identity of everything the service puts on the machine: the clean-up finds it all
// again by these values alone, whatever run put it there.
inline constexpr char kDeviceName[] = "corvane0";
inline constexpr std::uint32_t kTable = 0x636f7276;
inline constexpr std::uint32_t kMark = 0x636f7276;
inline constexpr std::uint32_t kFirstPriority = 5200;
inline constexpr std::uint32_t kLastPriority = 5209;
// The device's addresses: a /30 and a /64 leave the helper a peer address for its address
// rewriting.
inline constexpr char kAddress4[] = "198.18.0.1";
inline constexpr char kNetwork4[] = "198.18.0.0";
inline constexpr int kPrefix4 = 30;
inline constexpr char kAddress6[] = "fd63:6f72:7661::1";
inline constexpr char kNetwork6[] = "fd63:6f72:7661::";
inline constexpr int kPrefix6 = 64;
inline constexpr std::uint32_t kMinMtu = 1280;
inline constexpr std::uint32_t kMaxMtu = 65535;

inline const QString kServiceName = QStringLiteral("com.corvane.Corvane.Network");
inline const QString kObjectPath = QStringLiteral("/com/corvane/Corvane/Network");
inline const QString kInterface = QStringLiteral("com.corvane.Corvane.Network1");
inline const QString kPolkitAction = QStringLiteral("com.corvane.Corvane.system-wide");

} // namespace corvane::netd
