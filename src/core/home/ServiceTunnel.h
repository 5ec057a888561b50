#pragma once

#include "core/home/AuthString.h"
#include "core/model/SCOrder.h"

#include <QRandomGenerator>

namespace corvane {

class VpnManager;

// A connect through the service's own tunnel for one order: where it goes, the fresh random
// number that makes each connect (and so each change of address) unique, and what it signs.
class ServiceTunnel final
{
public:
    ServiceTunnel() = delete;

    static constexpr quint32 kLowestUid = 100000000;
    static constexpr quint32 kHighestUid = 999999999;

    // Uniform over kLowestUid..kHighestUid.
    static quint32 drawUid(QRandomGenerator &generator = *QRandomGenerator::global());

    // The fields of the authentication string for `order` with the manager's current
    // de-duplication rule, abnormal-IP switch and uid.
    static AuthFields authFields(const SCOrder &order, qint64 provinceIndex,
                                 const VpnManager &manager, qint64 time = authTimeNow());
};

} // namespace corvane
