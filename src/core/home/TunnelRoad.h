#pragma once

#include "core/model/SCOrder.h"
#include "core/vpn/VPNStatus.h"

#include <QObject>
#include <functional>
#include <memory>

namespace corvane {

class VpnManager;

// The road through the service's tunnel that the home screen and corvanectl both walk: the
// connect button's step a second after the tap, the connect itself, and the change of exit
// address, a stop followed, once the tunnel is off, by a connect with a fresh uid and string.
class TunnelRoad final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TunnelRoad)

public:
    // Every step waits this long after the action that asked for it.
    static constexpr double kStepDelay = 1.0;

    enum class Toggle
    {
        disconnecting,
        connecting,
    };

    explicit TunnelRoad(VpnManager &manager, QObject *parent = nullptr);
    ~TunnelRoad() override;

    // The connect itself: the service's tunnel host and port, no password, a fresh uid and the
    // string signed now for `order` and province `provinceIndex` (-1 for any).
    void connectNow(const SCOrder &order, qint64 provinceIndex);
    // The connect button's step, a second from now: stops the tunnel unless it is off by then,
    // else connects. `done` runs right after, told which it was. Dropped with this road.
    void toggleLater(std::shared_ptr<const SCOrder> order, qint64 provinceIndex,
                     std::function<void(Toggle)> done);

    // From the start of a change of exit address to the tunnel's next `on`.
    const bool &isChanging() const { return m_changing; }
    // Starts a change: a second from now the tunnel stops.
    void beginChange();
    // Starts a change whose first step the caller has already waited out: the tunnel stops now.
    void changeNow();
    // Each new status of the tunnel: during a change the first `off` runs `reconnect` (which
    // connects again, a step later), and `on` ends the change; an `off` after the reconnect
    // ends it too, failed.
    void statusChanged(VPNStatus status, const std::function<void()> &reconnect);

private:
    VpnManager &m_manager;
    bool m_changing = false;
    bool m_reconnecting = false;
};

} // namespace corvane
