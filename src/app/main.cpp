#include "app/Application.h"
#include "launch/LaunchEnvironment.h"
#include "platform/log/LogDestination.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

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
        std::fputs("corvane: the demo is not installed; it comes in the package corvane-demo "
                   "(sudo apt install corvane-demo)\n",
                   stderr);
    } else {
        std::fprintf(stderr, "corvane: cannot start %s: %s\n", program.constData(),
                     std::strerror(errno));
    }
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    corvane::Application::nameProcess();
    corvane::LogDestination::followDesktop();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Without an option, opens the sign-in screen of the Corvane client, or "
                       "shows the window of the one already running."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption disconnectAndExit(
        QStringLiteral("disconnect-and-exit"),
        QStringLiteral("Run start-up without a window, stop any running tunnel and quit."));
    parser.addOption(disconnectAndExit);
    const QCommandLineOption connect(
        QStringLiteral("connect"),
        QStringLiteral("Connect at launch through the service's tunnel host (CORVANE_TUNNEL_HOST "
                       "overrides it), with a one-line status window."));
    parser.addOption(connect);
    const QCommandLineOption quickConnect(
        QStringLiteral("quick-connect"),
        QStringLiteral("Open the quick connect screen, which connects through the built-in relay "
                       "(CORVANE_RELAY_HOST overrides its address)."));
    parser.addOption(quickConnect);
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Walk the whole road against the demo service, which it starts: sign in, "
                       "pick an order and a province, connect, change IP, disconnect and quit, "
                       "printing each step. Exits with 1 and the reason if a step fails. Needs the "
                       "corvane-demo package."));
    parser.addOption(demo);
    const QCommandLineOption demoQuick(
        QStringLiteral("demo-quick"),
        QStringLiteral("Open the quick connect screen, connect, disconnect a few seconds later and "
                       "quit, printing each status on the way. Needs the corvane-demo package."));
    parser.addOption(demoQuick);
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
