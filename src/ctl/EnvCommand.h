#pragma once

#include "ctl/TunnelCommand.h"

namespace corvane {

// corvanectl env: the shell lines that send a program's traffic through the running tunnel's
// local proxies, for `eval "$(corvanectl env)"`.
class EnvCommand final : public TunnelCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EnvCommand)

public:
    explicit EnvCommand(TunnelProfileStore &store, QObject *parent = nullptr);
    ~EnvCommand() override;

    QString summary() const override;

protected:
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;
};

} // namespace corvane
