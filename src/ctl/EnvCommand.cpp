#include "ctl/EnvCommand.h"

#include "core/vpn/LocalProxyAddress.h"

namespace corvane {

EnvCommand::EnvCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("env"), store, parent)
{}

EnvCommand::~EnvCommand() = default;

QString EnvCommand::summary() const
{
    return QStringLiteral("Print the proxy variables of the running tunnel, for eval.");
}

void EnvCommand::declare(QCommandLineParser &) {}

void EnvCommand::run(const QCommandLineParser &)
{
    withLocalProxy([this](const LocalProxyPorts &ports) {
        for (const auto &[name, value] : LocalProxyAddress::environment(ports))
            printLine(QStringLiteral("export ") + name + u'=' + value);
        finish(CtlExit::done);
    });
}

} // namespace corvane
