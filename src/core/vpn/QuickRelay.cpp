#include "core/vpn/QuickRelay.h"

#include "core/config/ServiceEndpoints.h"
#include "core/vpn/FFSSModel.h"

namespace corvane {

void QuickRelay::describeBuiltIn(FFSSModel &record)
{
    record.ip = ServiceEndpoints::current().relayHost;
    record.pwd = QString();
    record.port = ServiceEndpoints::current().relayPort;
    record.method = QString();
}

} // namespace corvane
