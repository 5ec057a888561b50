#pragma once

#include "ctl/TunnelCommand.h"

namespace corvane {

// corvanectl exec -- CMD ARGS...: runs CMD in this process's place with the running tunnel's
// proxy variables, so its exit code, signals and terminal are CMD's own.
class ExecCommand final : public TunnelCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExecCommand)

public:
    explicit ExecCommand(TunnelProfileStore &store, QObject *parent = nullptr);
    ~ExecCommand() override;

    QString summary() const override;

protected:
    Words words() const override { return Words::commandLine; }
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;

private:
    void execute(const QStringList &command, const LocalProxyPorts &ports);
};

} // namespace corvane
