#include "core/state/LocalState.h"
#include "ctl/ChangeIpCommand.h"
#include "ctl/ConnectCommand.h"
#include "ctl/CtlLog.h"
#include "ctl/CtlText.h"
#include "ctl/DisconnectCommand.h"
#include "ctl/EnvCommand.h"
#include "ctl/ExecCommand.h"
#include "ctl/LoginCommand.h"
#include "ctl/LogoutCommand.h"
#include "ctl/OrdersCommand.h"
#include "ctl/RelayCommand.h"
#include "ctl/StatusCommand.h"
#include "ctl/TerminalText.h"
#include "launch/DesktopIdentity.h"
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
    list.push_back(std::make_unique<EnvCommand>(store));
    list.push_back(std::make_unique<ExecCommand>(store));
    list.push_back(std::make_unique<RelayCommand>());
    list.push_back(std::make_unique<LogoutCommand>(store));
    return list;
}

QString usage(const std::vector<std::unique_ptr<CtlCommand>> &list)
{
    QString text = CtlText::pick(
        QStringLiteral("Usage: corvanectl <command> [options]\n\n"
                       "The exit address under a script's control: Corvane's home screen without "
                       "a window.\n\n"
                       "Commands:\n"),
        QStringLiteral("用法：corvanectl <命令> [选项]\n\n"
                       "由脚本掌控出口地址：没有窗口的 Corvane 首页。\n\n"
                       "命令：\n"));
    for (const auto &command : list)
        text += QStringLiteral("  %1%2\n").arg(command->name(), -12).arg(command->summary());
    text += CtlText::pick(
        QStringLiteral("\nRun corvanectl <command> --help for a command's options; every command "
                       "takes --verbose.\ncorvanectl --version tells the version.\n\n"
                       "Exit codes:\n"
                       "  0  done\n"
                       "  2  usage: a bad command or option, or a sign-in form that fails its "
                       "checks\n"
                       "  3  not signed in\n"
                       "  4  refused by the service (a wrong password, no such account): stop\n"
                       "  5  the tunnel failed or is not on\n"
                       "  6  timed out waiting for the tunnel\n"
                       "  7  the service could not be reached, did not answer in time or sent\n"
                       "     an answer that cannot be read: retry later\n"
                       "  8  signed in, but the credentials could not be stored; or, from logout,\n"
                       "     the stored password could not be deleted\n"
                       "exec ends with its program's code, or 126 when it cannot run it and 127\n"
                       "when there is no such program.\n"),
        QStringLiteral("\n运行 corvanectl <命令> --help 查看该命令的选项；每个命令都接受 "
                       "--verbose。\ncorvanectl --version 显示版本。\n\n"
                       "退出码：\n"
                       "  0  完成\n"
                       "  2  用法错误：命令或选项有误，或登录表单未通过检查\n"
                       "  3  未登录\n"
                       "  4  服务拒绝（密码错误、账号不存在）：不要重试\n"
                       "  5  隧道失败或未连接\n"
                       "  6  等待隧道超时\n"
                       "  7  无法连上服务、服务未及时应答或应答无法解读：稍后重试\n"
                       "  8  已登录，但凭据无法保存；或 logout 未能删除保存的密码\n"
                       "exec 以所运行程序的退出码结束；无法运行时为 126，找不到程序时为 127。\n"));
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
        asked.isEmpty()
            ? CtlText::pick(QStringLiteral("XDG_RUNTIME_DIR is not set"),
                            QStringLiteral("未设置 XDG_RUNTIME_DIR"))
            : CtlText::pick(QStringLiteral("XDG_RUNTIME_DIR (%1) is not a private folder of this "
                                           "user"),
                            QStringLiteral("XDG_RUNTIME_DIR（%1）不是本用户的私有文件夹"))
                  .arg(asked);
    const QString line =
        used.isEmpty() || QDir::isRelativePath(used)
            ? CtlText::pick(QStringLiteral("corvanectl: %1, and there is no other: the tunnel "
                                           "cannot be kept"),
                            QStringLiteral("corvanectl：%1，也没有别的可用：无法保存隧道"))
                  .arg(what)
            : CtlText::pick(QStringLiteral("corvanectl: %1; the tunnel's state is kept in %2, "
                                           "where a Corvane window of the desktop session does "
                                           "not look"),
                            QStringLiteral("corvanectl：%1；隧道状态保存在 %2，桌面会话中的 "
                                           "Corvane 窗口看不到它"))
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
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);

    TunnelProfileStore *store = LaunchEnvironment::install();
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
                                    ? CtlText::pick(QStringLiteral("no command given\n\n"),
                                                    QStringLiteral("未给出命令\n\n"))
                                    : CtlText::pick(QStringLiteral("unknown command '%1'\n\n"),
                                                    QStringLiteral("未知命令“%1”\n\n"))
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
