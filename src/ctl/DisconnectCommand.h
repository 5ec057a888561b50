#pragma once

#include "ctl/TunnelCommand.h"

namespace corvane {

// corvanectl disconnect: stops the tunnel and returns once it is off.
class DisconnectCommand final : public TunnelCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DisconnectCommand)

public:
    explicit DisconnectCommand(TunnelProfileStore &store, QObject *parent = nullptr);
    ~DisconnectCommand() override;

    QString summary() const override;

protected:
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;
};

} // namespace corvane
