#pragma once

#include "core/state/LocalState.h"
#include "ctl/TunnelCommand.h"

namespace corvane {

// corvanectl logout: forgets the stored password (keyring and settings file) and stops the
// service's tunnel, whoever started it, as it runs on the account's order; a quick connect
// relay's tunnel is left alone. The mobile number stays, so the sign-in screen is pre-filled.
class LogoutCommand final : public TunnelCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LogoutCommand)

public:
    explicit LogoutCommand(TunnelProfileStore &store, QObject *parent = nullptr);
    ~LogoutCommand() override;

    QString summary() const override;

protected:
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;

private:
    void stopServiceTunnel();
    void conclude(bool stoppedTunnel);

    LocalState::Forgetting m_forgetting;
};

} // namespace corvane
