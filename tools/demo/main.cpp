// corvane-demo: the scripted runs behind corvane --demo and --demo-quick. It opens corvane's own
// screens, as corvane does, and works them through their accessibility interfaces.
#include "DemoServiceProcess.h"
#include "QuickConnectDemo.h"
#include "RoadDemo.h"
#include "app/Application.h"
#include "launch/LaunchEnvironment.h"
#include "platform/log/LogDestination.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QUrl>
#include <cstdio>

namespace {

// The whole road against the demo service, started here; the exit code says whether every
// step got there.
int runRoad(corvane::Application &application)
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
    application.openScreen(QStringLiteral("login"));
    corvane::RoadDemo script(QStringLiteral("13800000001"), QStringLiteral("corvane1"),
                             QUrl(service.baseUrl() + QStringLiteral("/ip")));
    script.start();
    return QApplication::exec();
}

int runQuick(corvane::Application &application)
{
    application.openScreen(QStringLiteral("quick"));
    corvane::QuickConnectDemo script;
    script.start();
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // It is corvane to the user: the same settings, tunnel and name on the accessibility bus.
    corvane::Application::nameProcess();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The scripted runs of corvane --demo (--road, the default) and --demo-quick (--quick)."));
    parser.addHelpOption();
    const QCommandLineOption road(
        QStringLiteral("road"),
        QStringLiteral("Walk the whole road against the demo service, which it starts."));
    parser.addOption(road);
    const QCommandLineOption quick(
        QStringLiteral("quick"),
        QStringLiteral("Connect and disconnect through the quick connect screen."));
    parser.addOption(quick);
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Print the log lines on standard error too, between the steps."));
    parser.addOption(verbose);
    parser.process(app);
    // The steps are what a run prints; the log is for the journal.
    if (!parser.isSet(verbose))
        corvane::LogDestination::toJournalOnly();

    corvane::Application application(app);
    return parser.isSet(quick) ? runQuick(application) : runRoad(application);
}
