#include "app/AppDelegate.h"
#include "app/ConnectOnLaunch.h"
#include "app/DemoServiceProcess.h"
#include "app/DesktopSession.h"
#include "app/HeadlessLaunch.h"
#include "app/QuickConnectDemo.h"
#include "app/RoadDemo.h"
#include "app/TunnelStatusLine.h"
#include "app/instance/SingleInstance.h"
#include "launch/DesktopIdentity.h"
#include "launch/LaunchEnvironment.h"
#include "screens/MainScreens.h"
#include "screens/login/SCLoginViewController.h"
#include "screens/quick/MainViewController.h"
#include "ui/toolkit/ScreenFactory.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

constexpr QSize kDesignSize{375, 812};

// A screen of the "Main" layout in a window of the layouts' design size, opened after the launch's
// own work.
std::unique_ptr<corvane::ViewController> openScreen(corvane::AppDelegate &delegate,
                                                    const QString &identifier)
{
    corvane::registerMainScreens();
    std::unique_ptr<corvane::ViewController> screen(
        corvane::ScreenFactory::named(QStringLiteral("Main")).instantiate(identifier));
    screen->setWindowTitle(QStringLiteral("Corvane"));
    screen->resize(kDesignSize);
    delegate.window = screen.get();
    delegate.didFinishLaunching();
    screen->show();
    return screen;
}

// The launches that drive the user's tunnel from a window go one at a time: a later one shows
// the running one's window and ends, before its start-up could stop that one's tunnel.
std::optional<int> handOff(corvane::SingleInstance &instance)
{
    switch (instance.claim()) {
    case corvane::SingleInstance::Claim::first:
        return std::nullopt;
    case corvane::SingleInstance::Claim::handedOff:
        return 0;
    case corvane::SingleInstance::Claim::noAnswer:
        std::fprintf(stderr, "corvane: another corvane is running but does not answer\n");
        return 1;
    }
    return 1;
}

// The quick connect screen. Without an `instance` a demo run taps through it and decides the
// exit code; with one it is the running instance, with a tray icon.
int runQuickConnect(corvane::AppDelegate &delegate, corvane::SingleInstance *instance)
{
    const std::unique_ptr<corvane::ViewController> screen =
        openScreen(delegate, QStringLiteral("quick"));
    std::unique_ptr<corvane::DesktopSession> session;
    if (instance)
        session = std::make_unique<corvane::DesktopSession>(screen.get(), *instance);
    std::unique_ptr<corvane::QuickConnectDemo> script;
    if (!instance) {
        script = std::make_unique<corvane::QuickConnectDemo>(
            qobject_cast<corvane::MainViewController *>(screen.get()));
        script->start();
    }
    return QApplication::exec();
}

// The whole road against the demo service, started here; the exit code says whether every
// step got there.
int runRoadDemo(corvane::AppDelegate &delegate)
{
    corvane::DemoServiceProcess service;
    if (const std::optional<QString> problem =
            service.start(corvane::LaunchEnvironment::demoService())) {
        std::fprintf(stderr, "demo: %s\n", qPrintable(*problem));
        return 1;
    }
    service.pointClientAtIt();
    std::printf("demo service: %s\n", qPrintable(service.baseUrl()));
    std::fflush(stdout);
    const std::unique_ptr<corvane::ViewController> signIn =
        openScreen(delegate, QStringLiteral("login"));
    corvane::RoadDemo script(qobject_cast<corvane::SCLoginViewController *>(signIn.get()),
                             QStringLiteral("13800000001"), QStringLiteral("corvane1"));
    script.start();
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvane"));
    QApplication::setDesktopFileName(corvane::kDesktopId);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Without an option, opens the sign-in screen of the Corvane client, or "
                       "shows the window of the one already running."));
    parser.addHelpOption();
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
                       "printing each step. Exits with 1 and the reason if a step fails."));
    parser.addOption(demo);
    const QCommandLineOption demoQuick(
        QStringLiteral("demo-quick"),
        QStringLiteral("Open the quick connect screen, connect, disconnect a few seconds later and "
                       "quit, printing each status on the way."));
    parser.addOption(demoQuick);
    parser.process(app);

    corvane::LaunchEnvironment::install();
    corvane::AppDelegate delegate(app);
    if (parser.isSet(disconnectAndExit)) {
        corvane::HeadlessLaunch launch;
        delegate.sparesScriptedTunnel = false;
        delegate.didFinishLaunching();
        return QApplication::exec();
    }
    if (parser.isSet(demo))
        return runRoadDemo(delegate);
    if (parser.isSet(demoQuick))
        return runQuickConnect(delegate, nullptr);
    if (parser.isSet(connect)) {
        corvane::TunnelStatusLine statusLine;
        delegate.window = &statusLine;
        delegate.didFinishLaunching();
        corvane::ConnectOnLaunch::connect();
        statusLine.show();
        QApplication::exec();
        return 0;
    }
    corvane::SingleInstance instance(corvane::SingleInstance::defaultFolder());
    if (const std::optional<int> exitCode = handOff(instance))
        return *exitCode;
    if (parser.isSet(quickConnect))
        return runQuickConnect(delegate, &instance);
    corvane::LaunchEnvironment::useDesktopKeyring();
    const std::unique_ptr<corvane::ViewController> signIn =
        openScreen(delegate, QStringLiteral("login"));
    const corvane::DesktopSession session(signIn.get(), instance);
    QApplication::exec();
    return 0;
}
