#include "platform/tunnel/TunnelProfile.h"

#include "platform/tunnel/TunnelConnection.h"

namespace corvane {

TunnelProfile::TunnelProfile(QString identifier, TunnelConnection *connection)
    : m_identifier(std::move(identifier)), m_connection(connection)
{}

void TunnelProfile::setProtocolConfiguration(std::optional<TunnelProtocol> protocol)
{
    m_protocol = std::move(protocol);
}

} // namespace corvane
