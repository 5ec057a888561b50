#include "core/home/TunnelRoad.h"

#include "core/home/AuthString.h"
#include "core/home/ServiceTunnel.h"
#include "core/vpn/VpnManager.h"
#include "platform/scheduling/Scheduler.h"

namespace corvane {

TunnelRoad::TunnelRoad(VpnManager &manager, QObject *parent) : QObject(parent), m_manager(manager)
{}

TunnelRoad::~TunnelRoad() = default;

void TunnelRoad::connectNow(const SCOrder &order, qint64 provinceIndex)
{
    ServiceTunnel::fillManager(m_manager, ServiceTunnel::drawUid());
    m_manager.auth = makeAuthString(ServiceTunnel::authFields(order, provinceIndex, m_manager));
    m_manager.connectTunnel();
}

void TunnelRoad::toggleLater(std::shared_ptr<const SCOrder> order, qint64 provinceIndex,
                             std::function<void(Toggle)> done)
{
    // The tunnel's status when the step runs decides, not the one at the tap.
    delay(kStepDelay, this,
          [this, order = std::move(order), provinceIndex, done = std::move(done)] {
              if (m_manager.vpnStatus() != VPNStatus::off) {
                  m_manager.disconnectTunnel();
                  if (done)
                      done(Toggle::disconnecting);
                  return;
              }
              if (order)
                  connectNow(*order, provinceIndex);
              if (done)
                  done(Toggle::connecting);
          });
}

void TunnelRoad::beginChange()
{
    m_changing = true;
    delay(kStepDelay, this, [this] { m_manager.disconnectTunnel(); });
}

void TunnelRoad::changeNow()
{
    m_changing = true;
    m_manager.disconnectTunnel();
}

void TunnelRoad::statusChanged(VPNStatus status, const std::function<void()> &reconnect)
{
    if (status == VPNStatus::on) {
        m_changing = false;
        m_reconnecting = false;
        return;
    }
    if (status != VPNStatus::off || !m_changing)
        return;
    // Off again after the reconnect: the service or the tunnel refused it. Trying again would
    // only repeat that every second, so the change ends here, with the tunnel off.
    if (m_reconnecting) {
        m_changing = false;
        m_reconnecting = false;
        return;
    }
    m_reconnecting = true;
    if (reconnect)
        reconnect();
}

} // namespace corvane
