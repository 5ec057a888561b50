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
        std::fputs(corvane::LocaleText::text(QStringLiteral("corvane.corvane-the-demo-is-not"))
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
        LocaleText::text(QStringLiteral("corvane.without-an-option-opens-the")));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption disconnectAndExit(
        QStringLiteral("disconnect-and-exit"),
        LocaleText::text(QStringLiteral("corvane.run-start-up-without-a")));
    parser.addOption(disconnectAndExit);
    const QCommandLineOption connect(
        QStringLiteral("connect"),
        LocaleText::text(QStringLiteral("corvane.connect-at-launch-through-the")));
    parser.addOption(connect);
    const QCommandLineOption quickConnect(
        QStringLiteral("quick-connect"),
        LocaleText::text(QStringLiteral("corvane.open-the-quick-connect-screen")));
    parser.addOption(quickConnect);
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        LocaleText::text(QStringLiteral("corvane.walk-the-whole-road-against")));
    parser.addOption(demo);
    const QCommandLineOption demoQuick(
        QStringLiteral("demo-quick"),
        LocaleText::text(QStringLiteral("corvane.open-the-quick-connect-screen-2")));
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
