#include "core/vpn/QuickRelay.h"

#include "core/config/ServiceEndpoints.h"
#include "core/vpn/FFSSModel.h"
#include "core/vpn/VpnManager.h"

namespace corvane {

void QuickRelay::describeBuiltIn(FFSSModel &record)
{
    record.ip = ServiceEndpoints::current().relayHost;
    record.pwd = QString();
    record.port = ServiceEndpoints::current().relayPort;
    record.method = QString();
}

void QuickRelay::fillManager(VpnManager &manager, const FFSSModel &relay)
{
    manager.address = relay.ip;
    manager.pwd = relay.pwd;
    manager.port = relay.port;
    manager.method = relay.method;
}

} // namespace corvane
