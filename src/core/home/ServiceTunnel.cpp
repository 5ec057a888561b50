#include "core/home/ServiceTunnel.h"

#include "core/config/ServiceEndpoints.h"
#include "core/vpn/VpnManager.h"

namespace corvane {

quint32 ServiceTunnel::drawUid(QRandomGenerator &generator)
{
    return kLowestUid + generator.bounded(kHighestUid - kLowestUid + 1);
}

void ServiceTunnel::fillManager(VpnManager &manager, quint32 uid)
{
    manager.address = ServiceEndpoints::current().tunnelHost;
    manager.pwd = QString();
    manager.port = ServiceEndpoints::current().tunnelPort;
    manager.uid = uid;
}

AuthFields ServiceTunnel::authFields(const SCOrder &order, qint64 provinceIndex,
                                     const VpnManager &manager, qint64 time)
{
    return AuthFields{order.orderId, order.secret, time,       provinceIndex,
                      manager.nd,    manager.sip,  manager.uid};
}

} // namespace corvane
