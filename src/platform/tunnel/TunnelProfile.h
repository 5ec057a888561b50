#pragma once

#include "platform/tunnel/TunnelConnection.h"

#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

namespace corvane {

struct TunnelProtocol
{
    QString serverAddress;
    QVariantMap providerConfiguration;

    friend bool operator==(const TunnelProtocol &, const TunnelProtocol &) = default;
};

// One profile as the store hands it out. Changes stay local until the profile is saved;
// a reload replaces them with what the store holds.
class TunnelProfile final
{
public:
    TunnelProfile(QString identifier, TunnelConnection *connection);

    QString identifier() const { return m_identifier; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    QString localizedDescription() const { return m_localizedDescription; }
    void setLocalizedDescription(const QString &text) { m_localizedDescription = text; }
    std::optional<TunnelProtocol> protocolConfiguration() const { return m_protocol; }
    void setProtocolConfiguration(std::optional<TunnelProtocol> protocol);
    // Owned by the store that made the profile; every copy of one stored profile shares it.
    TunnelConnection *connection() const { return m_connection; }

private:
    QString m_identifier;
    bool m_enabled = false;
    QString m_localizedDescription;
    std::optional<TunnelProtocol> m_protocol;
    QPointer<TunnelConnection> m_connection;
};

using TunnelProfilePtr = std::shared_ptr<TunnelProfile>;

} // namespace corvane
