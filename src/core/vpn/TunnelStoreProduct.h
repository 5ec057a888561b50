#pragma once

#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"

namespace corvane {

// What the tunnel store needs of the product: the local proxies' ports from the user's settings
// ("socksPort", "httpProxyPort"; 0 lets the system pick) and the key of the signed string in
// the provider configuration VpnManager writes.
class TunnelStoreProduct final
{
public:
    static QString authKey();
    static LinuxTunnelProfileStore::ProxyPorts proxyPorts();
    static LinuxTunnelProfileStore::Product product();
};

} // namespace corvane
