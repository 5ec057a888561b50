#include "core/home/ServiceTunnel.h"

#include "core/vpn/VpnManager.h"

namespace corvane {

quint32 ServiceTunnel::drawUid(QRandomGenerator &generator)
{
    return kLowestUid + generator.bounded(kHighestUid - kLowestUid + 1);
}

AuthFields ServiceTunnel::authFields(const SCOrder &order, qint64 provinceIndex,
                                     const VpnManager &manager, qint64 time)
{
    return AuthFields{order.orderId, order.secret, time,       provinceIndex,
                      manager.nd,    manager.sip,  manager.uid};
}

} // namespace corvane
