#pragma once

#include "core/model/SCOrder.h"

#include <QString>
#include <memory>
#include <variant>

namespace corvane {

// What one connect asks for: which relay carries the tunnel, and how the desktop reaches it.
struct TunnelRequest final
{
    // How applications reach the tunnel: through the local SOCKS5 and HTTP proxies only, with
    // the desktop's own proxy settings pointed at them while the tunnel is on, or every program
    // through the system-wide mode's TUN device (corvane-netd hands the helper the device).
    enum class ProxyMode
    {
        local,
        system,
        systemWide,
    };

    // The service's own tunnel for an order, signed afresh at every connect.
    struct Service
    {
        std::shared_ptr<const SCOrder> order;
        // -1 for any province.
        qint64 provinceIndex = -1;
        // De-duplication: 1 for never an address this order had in the last 24 hours.
        qint64 nd = 0;
        // The abnormal-IP switch: 0 lets the service replace an abnormal address.
        qint64 sip = 0;
    };
    // The quick connect screen's built-in relay.
    struct Quick
    {};
    // The relay of the customer's own, read from its settings and keyring when the connect runs
    // (the built-in one where it has been reset by then).
    struct Own
    {};

    std::variant<Service, Quick, Own> relay;
    ProxyMode mode = ProxyMode::local;

    bool isService() const { return std::holds_alternative<Service>(relay); }
};

} // namespace corvane
