#include "core/state/LocalState.h"
#include "ctl/ChangeIpCommand.h"
#include "ctl/ConnectCommand.h"
#include "ctl/DisconnectCommand.h"
#include "ctl/EnvCommand.h"
#include "ctl/ExecCommand.h"
#include "ctl/LoginCommand.h"
#include "ctl/OrdersCommand.h"
#include "ctl/RelayCommand.h"
#include "ctl/StatusCommand.h"
#include "ctl/TerminalText.h"
#include "launch/LaunchEnvironment.h"
#include "launch/TerminationSignals.h"
#include "platform/log/Log.h"
#include "platform/process/ProcessStart.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using namespace corvane;

std::vector<std::unique_ptr<CtlCommand>> commands(TunnelProfileStore &store)
{
    std::vector<std::unique_ptr<CtlCommand>> list;
    list.push_back(std::make_unique<LoginCommand>());
    list.push_back(std::make_unique<OrdersCommand>());
    list.push_back(std::make_unique<ConnectCommand>(store));
    list.push_back(std::make_unique<ChangeIpCommand>(store));
    list.push_back(std::make_unique<StatusCommand>(store));
    list.push_back(std::make_unique<DisconnectCommand>(store));
    list.push_back(std::make_unique<EnvCommand>(store));
    list.push_back(std::make_unique<ExecCommand>(store));
    list.push_back(std::make_unique<RelayCommand>());
    return list;
}

QString usage(const std::vector<std::unique_ptr<CtlCommand>> &list)
{
    QString text = QStringLiteral(
        "Usage: corvanectl <command> [options]\n\n"
        "The exit address under a script's control: Corvane's home screen without a window.\n\n"
        "Commands:\n");
    for (const auto &command : list)
        text += QStringLiteral("  %1%2\n").arg(command->name(), -12).arg(command->summary());
    text +=
        QStringLiteral("\nRun corvanectl <command> --help for a command's options.\n\n"
                       "Exit codes: 0 done, 2 usage, 3 not signed in, 4 refused by the service,\n"
                       "5 the tunnel failed or is not on, 6 timed out, 7 signed in but the\n"
                       "credentials could not be stored; exec ends with its program's code, or\n"
                       "126 when it cannot run it and 127 when there is no such program.\n");
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    // A script's request starts with the process, before the loader has brought in Qt.
    const auto invokedAt = CtlCommand::Clock::now() - ProcessStart::age();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvanectl"));
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    // Log lines quote the service and files too.
    Log::setSink([](const QString &line) {
        const QByteArray bytes = TerminalText::printable(line).toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fflush(stderr);
    });

    TunnelProfileStore *store = LaunchEnvironment::install();
    LaunchEnvironment::useDesktopKeyring();
    std::vector<std::unique_ptr<CtlCommand>> list = commands(*store);
    const QString asked = arguments.value(0);
    if (asked == QLatin1StringView("--help") || asked == QLatin1StringView("-h") ||
        asked == QLatin1StringView("help")) {
        std::fputs(usage(list).toUtf8().constData(), stdout);
        return 0;
    }
    const auto found = std::find_if(list.begin(), list.end(), [&asked](const auto &command) {
        return command->name() == asked;
    });
    if (found == list.end()) {
        const QString problem =
            asked.isEmpty()
                ? QStringLiteral("no command given\n\n")
                : QStringLiteral("no command %1\n\n").arg(TerminalText::printable(asked));
        std::fputs((problem + usage(list)).toUtf8().constData(), stderr);
        return static_cast<int>(CtlExit::usage);
    }
    CtlCommand *command = found->get();
    // A password write still waiting for the keyring would be lost with the process.
    QObject::connect(command, &CtlCommand::finished, &app, [](int code) {
        LocalState::shared().whenSettled([code] { QCoreApplication::exit(code); });
    });
    // Through the event loop, so that what was printed is flushed and nothing is cut mid-line.
    const TerminationSignals interrupts;
    QObject::connect(&interrupts, &TerminationSignals::received, command, [command](int number) {
        QCoreApplication::exit(command->interruptedExitCode(number));
    });
    QTimer::singleShot(0, command, [command, rest = arguments.mid(1), invokedAt] {
        command->start(rest, invokedAt);
    });
    return QCoreApplication::exec();
}
