#pragma once

#include "ctl/CtlCommand.h"
#include "ctl/TunnelSession.h"

#include <QElapsedTimer>
#include <chrono>
#include <memory>

namespace corvane {

class StoredSignIn;
class TunnelProfileStore;

// A command that works on the tunnel: it has the session, a deadline, and the way every such
// command ends once the tunnel is up, by telling the public address.
class TunnelCommand : public CtlCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TunnelCommand)

public:
    TunnelCommand(QString name, TunnelProfileStore &store, QObject *parent = nullptr);
    ~TunnelCommand() override;

protected:
    TunnelSession &session();
    // Ends the command unless it has ended `wait` from now: with 7 while `signIn` still waits
    // for the service, else with 6.
    void giveUpAfter(std::chrono::seconds wait, const QString &waitingFor,
                     const StoredSignIn *signIn = nullptr);
    // A step after the tunnel came up, tells its public address (as JSON with `json`) and ends.
    void reportAddress(bool json);
    // Hands over the local proxies once the store has answered, or ends with 5 when the tunnel
    // is not on.
    void withLocalProxy(std::function<void(const LocalProxyPorts &)> use);
    // A tunnel that is down because the system-wide mode could not be had ends the command
    // with 5 and the service's or polkit's words; true then.
    bool endedForSystemWide();
    // In the system-wide mode a start may still be refused after `connecting` (no service,
    // polkit's no), so a command without --wait waits until the tunnel is up.
    static bool waitsForTheDevice();

private:
    TunnelProfileStore &m_store;
    std::unique_ptr<TunnelSession> m_session;
};

} // namespace corvane
