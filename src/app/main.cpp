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

struct Options
{
    QCommandLineOption help;
    QCommandLineOption disconnectAndExit;
    QCommandLineOption connect;
    QCommandLineOption quickConnect;
    QCommandLineOption demo;
    QCommandLineOption demoQuick;
};

// The descriptions come from the table of every text, which only the help shows: a window's
// launch need not read it before its first frame.
Options declare(QCommandLineParser &parser, bool described)
{
    const auto text = [described](const char *key) {
        return described ? corvane::LocaleText::text(QString::fromLatin1(key)) : QString();
    };
    parser.setApplicationDescription(text("corvane.without-an-option-opens-the"));
    Options options{
        parser.addHelpOption(),
        {QStringLiteral("disconnect-and-exit"), text("corvane.run-start-up-without-a")},
        {QStringLiteral("connect"), text("corvane.connect-at-launch-through-the")},
        {QStringLiteral("quick-connect"), text("corvane.open-the-quick-connect-screen")},
        {QStringLiteral("demo"), text("corvane.walk-the-whole-road-against")},
        {QStringLiteral("demo-quick"), text("corvane.open-the-quick-connect-screen-2")},
    };
    parser.addVersionOption();
    parser.addOptions({options.disconnectAndExit, options.connect, options.quickConnect,
                       options.demo, options.demoQuick});
    return options;
}

// The help, or Qt's complaint about the command line; process() ends the program with either.
int helpOrComplaint(const QApplication &app)
{
    QCommandLineParser parser;
    const Options options = declare(parser, true);
    if (corvane::LocaleText::chinese() && parser.parse(QCoreApplication::arguments()) &&
        parser.isSet(options.help)) {
        std::fputs(chineseHelp(parser.helpText()).toUtf8().constData(), stdout);
        return 0;
    }
    parser.process(app);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    corvane::Application::nameProcess();
    corvane::LogDestination::followDesktop();

    QCommandLineParser parser;
    const Options options = declare(parser, false);
    if (!parser.parse(QCoreApplication::arguments()) || parser.isSet(options.help) ||
        parser.isSet(QStringLiteral("help-all")))
        return helpOrComplaint(app);
    parser.process(app);

    if (parser.isSet(options.demo))
        return becomeDemo("--road");
    if (parser.isSet(options.demoQuick))
        return becomeDemo("--quick");
    using Mode = corvane::Application::Mode;
    Mode mode = Mode::signIn;
    if (parser.isSet(options.disconnectAndExit))
        mode = Mode::disconnectAndExit;
    else if (parser.isSet(options.connect))
        mode = Mode::connect;
    else if (parser.isSet(options.quickConnect))
        mode = Mode::quickConnect;
    corvane::Application application(app);
    return application.run(mode);
}
