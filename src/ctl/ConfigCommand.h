#pragma once

#include "ctl/CtlCommand.h"

namespace corvane {

// corvanectl config auto-reconnect [on|off] [--json]: shows or sets the settings the window and
// corvanectl share.
class ConfigCommand final : public CtlCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConfigCommand)

public:
    explicit ConfigCommand(QObject *parent = nullptr);
    ~ConfigCommand() override;

    QString summary() const override;

protected:
    Words words() const override { return Words::accepted; }
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;
};

} // namespace corvane
