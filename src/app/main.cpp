#include "app/Application.h"
#include "launch/LaunchEnvironment.h"
#include "launch/LocaleText.h"
#include "platform/log/LogDestination.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace {

// The scripted runs are a program of their own, shipped beside the application: --demo and
// --demo-quick become it, so what the user sees of them is unchanged.
int becomeDemo(const char *mode)
{
    QByteArray program = QFile::encodeName(corvane::LaunchEnvironment::companionProgram(
        QStringLiteral("corvane-demo"), QCoreApplication::applicationDirPath()));
    QByteArray argument(mode);
    char *arguments[] = {program.data(), argument.data(), nullptr};
    ::execv(program.constData(), arguments);
    if (errno == ENOENT) {
        std::fputs(corvane::LocaleText::pick(
                       QStringLiteral("corvane: the demo is not installed; it comes in the "
                                      "package corvane-demo (sudo apt install corvane-demo)\n"),
                       QStringLiteral("corvane：未安装演示，它在软件包 corvane-demo 中"
                                      "（sudo apt install corvane-demo）\n"))
                       .toUtf8()
                       .constData(),
                   stderr);
    } else {
        std::fprintf(stderr, "corvane: cannot start %s: %s\n", program.constData(),
                     std::strerror(errno));
    }
    return 1;
}

// Qt writes the help's headings and its own options' descriptions in English.
QString chineseHelp(QString help)
{
    for (const auto &[english, chinese] :
         {std::pair{"Usage: ", "用法："}, std::pair{" [options]", " [选项]"},
          std::pair{"\nOptions:\n", "\n选项：\n"},
          std::pair{"Displays help on commandline options.", "显示命令行选项的帮助。"},
          std::pair{"Displays help including Qt specific options.",
                    "显示帮助，包括 Qt 自身的选项。"},
          std::pair{"Displays version information.", "显示版本信息。"}})
        help.replace(QString::fromUtf8(english), QString::fromUtf8(chinese));
    return help;
}

} // namespace

int main(int argc, char *argv[])
{
    using corvane::LocaleText;
    QApplication app(argc, argv);
    corvane::Application::nameProcess();
    corvane::LogDestination::followDesktop();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        LocaleText::pick(QStringLiteral("Without an option, opens the sign-in screen of the "
                                        "Corvane client, or shows the window of the one already "
                                        "running."),
                         QStringLiteral("不带选项时打开 Corvane 客户端的登录页，"
                                        "已有一个在运行时显示它的窗口。")));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption disconnectAndExit(
        QStringLiteral("disconnect-and-exit"),
        LocaleText::pick(
            QStringLiteral("Run start-up without a window, stop any running tunnel and quit."),
            QStringLiteral("不开窗口完成启动，断开正在运行的隧道后退出。")));
    parser.addOption(disconnectAndExit);
    const QCommandLineOption connect(
        QStringLiteral("connect"),
        LocaleText::pick(
            QStringLiteral("Connect at launch through the service's tunnel host "
                           "(CORVANE_TUNNEL_HOST overrides it), with a one-line status window."),
            QStringLiteral("启动即经服务的隧道主机连接（CORVANE_TUNNEL_HOST 可替换），"
                           "并显示一行状态的窗口。")));
    parser.addOption(connect);
    const QCommandLineOption quickConnect(
        QStringLiteral("quick-connect"),
        LocaleText::pick(
            QStringLiteral("Open the quick connect screen, which connects through the built-in "
                           "relay (CORVANE_RELAY_HOST overrides its address)."),
            QStringLiteral("打开一键连接页，经内置中继连接（CORVANE_RELAY_HOST 可替换其地址）。")));
    parser.addOption(quickConnect);
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        LocaleText::pick(
            QStringLiteral("Walk the whole road against the demo service, which it starts: sign "
                           "in, pick an order and a province, connect, change IP, disconnect and "
                           "quit, printing each step. Exits with 1 and the reason if a step fails. "
                           "Needs the corvane-demo package."),
            QStringLiteral("对着自行启动的演示服务走完全程：登录、选订单和省份、连接、切换IP、"
                           "断开并退出，逐步打印。某步失败时打印原因并以 1 退出。"
                           "需要 corvane-demo 软件包。")));
    parser.addOption(demo);
    const QCommandLineOption demoQuick(
        QStringLiteral("demo-quick"),
        LocaleText::pick(
            QStringLiteral("Open the quick connect screen, connect, disconnect a few seconds later "
                           "and quit, printing each status on the way. Needs the corvane-demo "
                           "package."),
            QStringLiteral("打开一键连接页，连接，几秒后断开并退出，沿途打印每个状态。"
                           "需要 corvane-demo 软件包。")));
    parser.addOption(demoQuick);
    if (LocaleText::chinese() && parser.parse(QCoreApplication::arguments()) &&
        parser.isSet(help)) {
        std::fputs(chineseHelp(parser.helpText()).toUtf8().constData(), stdout);
        return 0;
    }
    parser.process(app);

    if (parser.isSet(demo))
        return becomeDemo("--road");
    if (parser.isSet(demoQuick))
        return becomeDemo("--quick");
    using Mode = corvane::Application::Mode;
    Mode mode = Mode::signIn;
    if (parser.isSet(disconnectAndExit))
        mode = Mode::disconnectAndExit;
    else if (parser.isSet(connect))
        mode = Mode::connect;
    else if (parser.isSet(quickConnect))
        mode = Mode::quickConnect;
    corvane::Application application(app);
    return application.run(mode);
}
