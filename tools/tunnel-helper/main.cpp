#include "TunnelHelper.h"

#include "platform/log/Log.h"

#include <QCommandLineParser>
#include <QCoreApplication>

// The tunnel of one profile, started detached by the application. Its only argument names the
// channel; the configuration comes from the channel's 0600 file, never from the command line.
// CORVANE_TUNNEL_CONNECT_DELAY_MS sets how long "connecting" lasts (300 ms by default);
// CORVANE_TUNNEL_CHECK_URL names a service (the demo service) that must accept the signed
// string before the tunnel comes up; without it the check is skipped.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption channel(QStringLiteral("channel"),
                                     QStringLiteral("Base path of the profile's channel files."),
                                     QStringLiteral("path"));
    parser.addOption(channel);
    parser.addHelpOption();
    parser.process(app);
    if (!parser.isSet(channel)) {
        corvane::Log::write(QStringLiteral("--channel is required"));
        return 2;
    }
    bool ok = false;
    int delayMs = qEnvironmentVariableIntValue("CORVANE_TUNNEL_CONNECT_DELAY_MS", &ok);
    if (!ok || delayMs < 0)
        delayMs = 300;

    const QUrl checkService(qEnvironmentVariable("CORVANE_TUNNEL_CHECK_URL"));
    corvane::TunnelHelper helper(corvane::TunnelChannel(parser.value(channel)), delayMs,
                                 checkService);
    QObject::connect(&helper, &corvane::TunnelHelper::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (!helper.begin())
        return 1;
    return app.exec();
}
