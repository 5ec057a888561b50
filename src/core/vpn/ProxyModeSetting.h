#pragma once

#include "core/vpn/TunnelRequest.h"

#include <QString>

namespace corvane {

class SettingsStore;

// The person's choice of how programs reach the tunnel ("proxyMode" in the settings file):
// `local` until they choose. Read afresh each time, so that a choice made by corvanectl is seen
// by a window that is already running.
class ProxyModeSetting final
{
public:
    using Mode = TunnelRequest::ProxyMode;
    static inline const QString kKey = QStringLiteral("proxyMode");

    explicit ProxyModeSetting(SettingsStore &store) : m_store(store) {}

    // An unknown value (a later build's mode, a typo) reads as local, with a log line.
    Mode mode() const;
    // False when the settings file could not be written.
    bool set(Mode mode);

    static QString name(Mode mode);
    static std::optional<Mode> parse(const QString &name);

private:
    SettingsStore &m_store;
};

} // namespace corvane
