#pragma once

#include "core/home/PublicAddressLookup.h"
#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VPNStatus.h"

#include <QObject>
#include <functional>

namespace corvane {

class DesktopNotifier;

// Decides which tunnel changes the user hears about outside the window: the tunnel came up (with
// the public address once the lookup answers), a change of IP finished, or the tunnel went down
// without being asked to (the helper died, the service refused it). A change the user made while
// the window has the focus is already on screen and gets no bubble; a drop always does.
class TunnelNotices final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TunnelNotices)

public:
    struct Probes
    {
        std::function<bool()> windowFocused;
        // A change of IP is under way: its way down and up again is one change.
        std::function<bool()> changingAddress;
        // The tunnel went down by itself and is being brought back: its tries are one drop.
        std::function<bool()> reconnecting;
        // The line saying the machine's traffic is blocked meanwhile; none or empty when it is not.
        std::function<QString()> trafficBlocked = {};
    };

    static inline const QString kTag = QStringLiteral("tunnel");
    // The pause the home screen also leaves before its lookup, so the route has settled and
    // the two lookups share one request.
    static constexpr auto kLookupDelay = TunnelSequencer::kStepDelay;

    TunnelNotices(DesktopNotifier &notifier, Probes probes, QObject *parent = nullptr);

    // Each status announcement; repeats of the same status are ignored.
    void statusChanged(VPNStatus status);
    // The sequencer began to bring the tunnel back; in the system-wide mode the notice says
    // that traffic is blocked until then.
    void reconnectStarted();

private:
    void cameUp(bool changedAddress);
    void wentDown(bool wasUp);

    DesktopNotifier &m_notifier;
    Probes m_probes;
    PublicAddressLookup *m_lookup;
    VPNStatus m_last = VPNStatus::off;
    bool m_stopAsked = false;
    bool m_changing = false;
    // Moves on whenever the tunnel goes down, so a late lookup answer is dropped.
    quint64 m_upCount = 0;
};

} // namespace corvane
