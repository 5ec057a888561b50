#include "HelperLog.h"
#include "NetdLease.h"
#include "TunnelHelper.h"

#include "platform/log/Log.h"
#include "platform/log/LogDestination.h"
#include "platform/signals/TerminationSignals.h"
#include "platform/systemproxy/DesktopSystemProxy.h"
#include "tunnel/client/DescriptorBudget.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QScopeGuard>
#include <QTimer>

namespace {

// The port given for `option`, or none when it is not a port number.
std::optional<quint16> portOption(const QCommandLineParser &parser,
                                  const QCommandLineOption &option, quint16 fallback)
{
    if (!parser.isSet(option))
        return fallback;
    bool ok = false;
    const uint port = parser.value(option).toUInt(&ok);
    if (!ok || port > 65535)
        return std::nullopt;
    return static_cast<quint16>(port);
}

} // namespace

// The tunnel of one profile, started detached by the application. Its arguments name the
// channel and the local proxies' ports; the configuration comes from the channel's 0600 file,
// never from the command line. SIGTERM and SIGINT stop the tunnel as a window's "stop" does.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption channel(QStringLiteral("channel"),
                                     QStringLiteral("Base path of the profile's channel files."),
                                     QStringLiteral("path"));
    const QCommandLineOption socksPort(
        QStringLiteral("socks-port"),
        QStringLiteral("Port of the local SOCKS5 proxy (21080; 0 picks a free one)."),
        QStringLiteral("port"));
    const QCommandLineOption httpPort(
        QStringLiteral("http-port"),
        QStringLiteral("Port of the local HTTP proxy (21081; 0 picks a free one)."),
        QStringLiteral("port"));
    const QCommandLineOption systemProxy(
        QStringLiteral("system-proxy"),
        QStringLiteral(
            "Point the desktop's proxy settings at the proxies while the tunnel is up."));
    const QCommandLineOption systemWide(
        QStringLiteral("system-wide"),
        QStringLiteral("Carry every program's traffic: take a TUN device from corvane-netd."));
    parser.addOption(channel);
    parser.addOption(socksPort);
    parser.addOption(httpPort);
    parser.addOption(systemProxy);
    parser.addOption(systemWide);
    parser.addHelpOption();
    parser.process(app);
    if (!parser.isSet(channel)) {
        corvane::Log::critical(QStringLiteral("--channel is required"));
        return 2;
    }
    const auto socks =
        portOption(parser, socksPort, corvane::tunnel::TunnelClient::kDefaultSocksPort);
    const auto http = portOption(parser, httpPort, corvane::tunnel::TunnelClient::kDefaultHttpPort);
    if (!socks || !http) {
        corvane::Log::critical(QStringLiteral("--socks-port and --http-port take 0 to 65535"));
        return 2;
    }

    const corvane::TunnelChannel files(parser.value(channel));
    // Another user's flood of connections must not fill the runtime folder with their lines.
    corvane::HelperLog log(files.logPath(), {STDERR_FILENO, STDOUT_FILENO}, {},
                           [] { return corvane::HelperLog::Clock::now(); });
    corvane::Log::setSink([&log](QtMsgType level, const QString &line) { log.write(level, line); });
    const auto unhook = qScopeGuard([] { corvane::Log::setSink({}); });
    corvane::LogDestination::routeQtMessagesToLog();
    QTimer minutes;
    QObject::connect(&minutes, &QTimer::timeout, &app, [&log] { log.flush(); });
    minutes.start(std::chrono::minutes(1));
    // The usual soft limit of 1,024 descriptors would stop the proxies at about 500
    // connections.
    const corvane::tunnel::ProxyLimits limits;
    corvane::tunnel::DescriptorBudget::raiseFor(limits.maxConnections, 2 * limits.maxAssociations +
                                                                           limits.maxDatagramFlows);

    // Settings that a killed helper left pointing at its dead ports go before this one starts;
    // a change of address's are kept, as the program that asked for it holds them.
    corvane::DesktopSystemProxy desktopProxy;
    if (const std::optional<QString> error =
            desktopProxy.applied() ? desktopProxy.repair() : std::nullopt)
        corvane::Log::warning(error.value());
    corvane::TunnelHelper helper(files, *socks, *http, &desktopProxy, parser.isSet(systemProxy));
    corvane::NetdLease netd;
    if (parser.isSet(systemWide))
        helper.useSystemWide(&netd);
    QObject::connect(&helper, &corvane::TunnelHelper::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // The stop runs on the event loop, and a second signal while stopping changes nothing.
    const corvane::TerminationSignals terminations(corvane::TerminationSignals::HangUp::left);
    QObject::connect(&terminations, &corvane::TerminationSignals::received, &helper,
                     [&helper] { helper.stop(); });
    if (!helper.begin())
        return helper.exitCode();
    const int result = QCoreApplication::exec();
    return result != 0 ? result : helper.exitCode();
}
