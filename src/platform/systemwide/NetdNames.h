#pragma once

#include <QString>

namespace corvane {

// corvane-netd's names on the system bus. The service is a program of its own (src/netd), which
// nothing of the client links, so these are copies of its NetdConstants.h: the bus interface is
// the contract, and docs/system-wide.md keeps both sides to it.
inline const QString kNetdServiceName = QStringLiteral("com.corvane.Corvane.Network");
inline const QString kNetdObjectPath = QStringLiteral("/com/corvane/Corvane/Network");
inline const QString kNetdInterface = QStringLiteral("com.corvane.Corvane.Network1");

} // namespace corvane
