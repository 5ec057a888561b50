#pragma once

#include "core/model/SCOrderContent.h"
#include "ctl/TunnelCommand.h"

#include <optional>
#include <utility>

namespace corvane {

class StoredSignIn;

// corvanectl change-ip: the home screen's change of exit address for the running tunnel: a
// stop, and once it is off a connect with a fresh uid and string for the same order and
// choices.
class ChangeIpCommand final : public TunnelCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChangeIpCommand)

public:
    explicit ChangeIpCommand(TunnelProfileStore &store, QObject *parent = nullptr);
    ~ChangeIpCommand() override;

    QString summary() const override;

protected:
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;

private:
    // Stops the tunnel once its configuration is read, the orders are in and the first step is
    // over, whichever comes last.
    void stopWhenReady();
    void follow(VPNStatus status);

    StoredSignIn *m_signIn;
    // What the running tunnel was signed for, once the store has said.
    std::optional<AuthStringFields> m_running;
    std::shared_ptr<SCOrderContent> m_orders;
    std::optional<CtlFailure> m_signInFailure;
    bool m_stepWaited = false;
    bool m_wait = false;
    bool m_json = false;
    // The change's stop has brought the tunnel down; what follows is the reconnect.
    bool m_stopped = false;
};

} // namespace corvane
