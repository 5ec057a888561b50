#pragma once

#include "ctl/TunnelCommand.h"

namespace corvane {

// corvanectl status: the tunnel's status, order, province, choices, public address and (as JSON)
// traffic, once or, with --watch, a line for every change until interrupted; with --traffic
// too, a line for the traffic figures whenever they change, at most one a second.
class StatusCommand final : public TunnelCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusCommand)

public:
    explicit StatusCommand(TunnelProfileStore &store, QObject *parent = nullptr);
    ~StatusCommand() override;

    QString summary() const override;
    // Watching ends only by an interrupt, so that is a clean end.
    int interruptedExitCode(int signalNumber) const override
    {
        return m_watch ? 0 : CtlCommand::interruptedExitCode(signalNumber);
    }

protected:
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;

private:
    void report();
    void print(const TunnelSession::Snapshot &snapshot,
               const std::optional<PublicAddressAnswer> &address);
    void followTraffic(const TunnelSession::Snapshot &snapshot,
                       const std::optional<PublicAddressAnswer> &address);

    bool m_json = false;
    bool m_watch = false;
    bool m_traffic = false;
    bool m_following = false;
    bool m_reporting = false;
    bool m_again = false;
    // What the last line told.
    QJsonObject m_printed;
};

} // namespace corvane
