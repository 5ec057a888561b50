#include "ctl/ExecCommand.h"

#include "core/vpn/LocalProxyAddress.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace corvane {

ExecCommand::ExecCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("exec"), store, parent)
{}

ExecCommand::~ExecCommand() = default;

QString ExecCommand::summary() const
{
    return QStringLiteral("Run a program through the running tunnel: exec -- CMD ARGS...");
}

void ExecCommand::declare(QCommandLineParser &parser)
{
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("The program to run, then its arguments."),
                                 QStringLiteral("-- CMD [ARGS...]"));
}

void ExecCommand::run(const QCommandLineParser &parser)
{
    const QStringList command = parser.positionalArguments();
    if (command.isEmpty()) {
        finish(CtlExit::usage, QStringLiteral("no program given\nSee: corvanectl exec --help"));
        return;
    }
    withLocalProxy([this, command](const LocalProxyPorts &ports) { execute(command, ports); });
}

void ExecCommand::execute(const QStringList &command, const LocalProxyPorts &ports)
{
    for (const auto &[name, value] : LocalProxyAddress::environment(ports))
        qputenv(name.toLatin1().constData(), value.toLatin1());
    std::vector<QByteArray> words;
    words.reserve(static_cast<size_t>(command.size()));
    for (const QString &word : command)
        words.push_back(word.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    ::execvp(argv.front(), argv.data());
    const int error = errno;
    finish(error == ENOENT ? CtlExit::commandNotFound : CtlExit::cannotExecute,
           QStringLiteral("cannot run %1: %2")
               .arg(command.first(), QString::fromLocal8Bit(std::strerror(error))));
}

} // namespace corvane
