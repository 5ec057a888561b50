#include "core/state/LocalState.h"
#include "ctl/ChangeIpCommand.h"
#include "ctl/ConnectCommand.h"
#include "ctl/CtlLog.h"
#include "ctl/DisconnectCommand.h"
#include "ctl/LoginCommand.h"
#include "ctl/OrdersCommand.h"
#include "ctl/StatusCommand.h"
#include "ctl/TerminalText.h"
#include "launch/LaunchEnvironment.h"
#include "launch/TerminationSignals.h"
#include "platform/process/ProcessStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
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
        QStringLiteral("\nRun corvanectl <command> --help for a command's options; every command\n"
                       "takes --verbose.\n\n"
                       "Exit codes: 0 done, 2 usage, 3 not signed in, 4 refused by the service,\n"
                       "5 the tunnel failed, 6 timed out waiting for the tunnel, 7 the service\n"
                       "could not be reached or did not answer usably (worth a retry), 8 signed\n"
                       "in but the credentials could not be stored.\n");
    return text;
}

// Qt falls back to a private folder of its own where XDG_RUNTIME_DIR is unusable (and says so
// in the log): a tunnel kept there is one that a window of the desktop session does not see.
void tellOfRuntimeFolder()
{
    const QString asked = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString used = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!asked.isEmpty() &&
        QFileInfo(asked).canonicalFilePath() == QFileInfo(used).canonicalFilePath())
        return;
    const QString what = asked.isEmpty()
                             ? QStringLiteral("XDG_RUNTIME_DIR is not set")
                             : QStringLiteral("XDG_RUNTIME_DIR (%1) is not a private folder of "
                                              "this user")
                                   .arg(asked);
    const QString line =
        used.isEmpty() || QDir::isRelativePath(used)
            ? QStringLiteral("corvanectl: %1, and there is no other: the tunnel cannot be kept")
                  .arg(what)
            : QStringLiteral("corvanectl: %1; the tunnel's state is kept in %2, where a Corvane "
                             "window of the desktop session does not look")
                  .arg(what, used);
    std::fputs((TerminalText::printable(line) + u'\n').toUtf8().constData(), stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    // A script's request starts with the process, before the loader has brought in Qt.
    const auto invokedAt = CtlCommand::Clock::now() - ProcessStart::age();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvanectl"));
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    CtlLog::install();

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
    if (dynamic_cast<TunnelCommand *>(command))
        tellOfRuntimeFolder();
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
