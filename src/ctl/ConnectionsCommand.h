#pragma once

#include "ctl/TunnelCommand.h"

namespace corvane {

// corvanectl connections: the running tunnel's open connections, each with its destination as
// the client named it, the rule that sent it its way, the relay or direct, bytes each way and
// age; a table for people or, with --json, one object for scripts.
class ConnectionsCommand final : public TunnelCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConnectionsCommand)

public:
    explicit ConnectionsCommand(TunnelProfileStore &store, QObject *parent = nullptr);
    ~ConnectionsCommand() override;

    QString summary() const override;

protected:
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;
};

} // namespace corvane
