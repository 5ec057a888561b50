#pragma once

#include "ctl/CtlCommand.h"

namespace corvane {

// corvanectl system-wide repair: asks corvane-netd to take away everything the system-wide mode
// put on the machine, for when a run ended without doing it and nothing of Corvane runs.
class SystemWideCommand final : public CtlCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SystemWideCommand)

public:
    explicit SystemWideCommand(QObject *parent = nullptr);
    ~SystemWideCommand() override;

    QString summary() const override;

protected:
    Words words() const override { return Words::accepted; }
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;
};

} // namespace corvane
