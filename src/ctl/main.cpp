#include "core/state/LocalState.h"
#include "ctl/ChangeIpCommand.h"
#include "ctl/ConfigCommand.h"
#include "ctl/ConnectCommand.h"
#include "ctl/ConnectionsCommand.h"
#include "ctl/CtlLog.h"
#include "ctl/DisconnectCommand.h"
#include "ctl/EnvCommand.h"
#include "ctl/ExecCommand.h"
#include "ctl/LoginCommand.h"
#include "ctl/LogoutCommand.h"
#include "ctl/ModeCommand.h"
#include "ctl/OrdersCommand.h"
#include "ctl/RelayCommand.h"
#include "ctl/StatusCommand.h"
#include "ctl/SystemWideCommand.h"
#include "ctl/TerminalText.h"
#include "ctl/TunnelSession.h"
#include "launch/DesktopIdentity.h"
#include "launch/LaunchEnvironment.h"
#include "launch/LocaleText.h"
#include "platform/log/Log.h"
#include "platform/process/ProcessStart.h"
#include "platform/resources/Localization.h"
#include "platform/signals/TerminationSignals.h"
#include "platform/systemproxy/DesktopSystemProxy.h"

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
    list.push_back(std::make_unique<ConnectionsCommand>(store));
    list.push_back(std::make_unique<DisconnectCommand>(store));
    list.push_back(std::make_unique<EnvCommand>(store));
    list.push_back(std::make_unique<ExecCommand>(store));
    list.push_back(std::make_unique<RelayCommand>());
    list.push_back(std::make_unique<ModeCommand>(store));
    list.push_back(std::make_unique<SystemWideCommand>());
    list.push_back(std::make_unique<ConfigCommand>());
    list.push_back(std::make_unique<LogoutCommand>(store));
    return list;
}

QString usage(const std::vector<std::unique_ptr<CtlCommand>> &list)
{
    QString text = LocaleText::text(QStringLiteral("ctl.usage-corvanectl-command-options-the"));
    for (const auto &command : list)
        text += QStringLiteral("  %1%2\n").arg(command->name(), -12).arg(command->summary());
    text += LocaleText::text(QStringLiteral("ctl.run-corvanectl-command-help-for"));
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
    const QString what =
        asked.isEmpty() ? LocaleText::text(QStringLiteral("ctl.xdg-runtime-dir-is-not"))
                        : LocaleText::text(QStringLiteral("ctl.xdg-runtime-dir-1-is")).arg(asked);
    const QString line =
        used.isEmpty() || QDir::isRelativePath(used)
            ? LocaleText::text(QStringLiteral("ctl.corvanectl-1-and-there-is")).arg(what)
            : LocaleText::text(QStringLiteral("ctl.corvanectl-1-the-tunnels-state"))
                  .arg(what, used);
    std::fputs((TerminalText::printable(line) + u'\n').toUtf8().constData(), stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    // A script's request starts with the process, before the loader has brought in Qt.
    const auto invokedAt = CtlCommand::Clock::now() - ProcessStart::age();
    // Before the application, which may warn about the locale already.
    QCoreApplication::setApplicationName(kScriptProgram);
    CtlLog::install();
    // What the core says (sign-in checks, the service's refusals) reads in the locale's language.
    Localization::setLanguage(LocaleText::language());
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);

    TunnelProfileStore *store = LaunchEnvironment::install();
    // Before any command touches the tunnel: settings left pointing at a dead tunnel go back.
    DesktopSystemProxy desktopProxy;
    // Without a journal there is nothing to repair, and no lock file to make for it.
    if (const std::optional<QString> error =
            desktopProxy.applied() ? desktopProxy.repair() : std::nullopt)
        Log::warning(*error);
    TunnelSession::useSystemProxy(&desktopProxy);
    LaunchEnvironment::useDesktopKeyring();
    std::vector<std::unique_ptr<CtlCommand>> list = commands(*store);
    const QString asked = arguments.value(0);
    if (asked == QLatin1StringView("--help") || asked == QLatin1StringView("-h") ||
        asked == QLatin1StringView("help")) {
        std::fputs(usage(list).toUtf8().constData(), stdout);
        return 0;
    }
    // The manual page's source: the overview and every command's options.
    if (asked == QLatin1StringView("--help-all")) {
        QString text = usage(list);
        for (const auto &command : list)
            text += QStringLiteral("\ncorvanectl %1 [options]:\n").arg(command->name()) +
                    command->helpText().section(u'\n', 4);
        std::fputs(text.toUtf8().constData(), stdout);
        return 0;
    }
    if (asked == QLatin1StringView("--version")) {
        std::fputs(QStringLiteral("corvanectl %1\n").arg(kVersion).toUtf8().constData(), stdout);
        return 0;
    }
    const auto found = std::find_if(list.begin(), list.end(), [&asked](const auto &command) {
        return command->name() == asked;
    });
    if (found == list.end()) {
        const QString problem = asked.isEmpty()
                                    ? LocaleText::text(QStringLiteral("ctl.no-command-given"))
                                    : LocaleText::text(QStringLiteral("ctl.unknown-command-1"))
                                          .arg(TerminalText::printable(asked));
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
