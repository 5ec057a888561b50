#pragma once

#include "ctl/TunnelCommand.h"

namespace corvane {

// corvanectl mode [local|system|system-wide]: shows or sets how programs reach the tunnel; a
// change to or from the system proxy while the tunnel is on takes effect at once, one to or from
// system-wide at the next connect (the helper asks for the device as it starts).
class ModeCommand final : public TunnelCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModeCommand)

public:
    explicit ModeCommand(TunnelProfileStore &store, QObject *parent = nullptr);
    ~ModeCommand() override;

    QString summary() const override;

protected:
    Words words() const override { return Words::accepted; }
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;

private:
    void report();

    bool m_json = false;
};

} // namespace corvane
