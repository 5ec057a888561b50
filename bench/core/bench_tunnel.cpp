#include "core/vpn/TunnelStoreProduct.h"
#include "core/vpn/VpnManager.h"
#include "platform/log/Log.h"
#include "platform/notification/NotificationCenter.h"
#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace corvane;

namespace {

QTemporaryDir *home;
// A plain relay counts as there once it takes a connection: a listening socket will do.
QTcpServer *relay;

LinuxTunnelProfileStore::Locations locations()
{
    QString helper = qEnvironmentVariable("CORVANE_TUNNEL_HELPER");
    if (helper.isEmpty())
        helper = QCoreApplication::applicationDirPath() +
                 QStringLiteral("/../bin/corvane-tunnel-helper");
    return {home->filePath(QStringLiteral("data/profiles.json")),
            home->filePath(QStringLiteral("run")), helper};
}

template <typename Done> void spinUntil(Done done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The whole connect: store load, save, reload, the helper's start, its reach of the relay and
// its first two reports.
void BM_ConnectTunnelToOn(benchmark::State &state)
{
    QDir(home->filePath(QStringLiteral("data"))).removeRecursively();
    LinuxTunnelProfileStore store(locations(), TunnelStoreProduct::product());
    VpnManager manager(store);
    for (auto _ : state) {
        manager.address = QStringLiteral("127.0.0.1");
        manager.port = relay->serverPort();
        manager.connectTunnel();
        spinUntil([&] { return manager.vpnStatus() == VPNStatus::on; });
        state.PauseTiming();
        manager.disconnectTunnel();
        spinUntil([&] { return manager.vpnStatus() == VPNStatus::off; });
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ConnectTunnelToOn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);

// One status line from the helper's socket to the posted notification. This process plays the
// helper's end of the socket, so only the window's side is measured.
void BM_StatusChangeToNotification(benchmark::State &state)
{
    QDir(home->path()).removeRecursively();
    LinuxTunnelProfileStore store(locations(), TunnelStoreProduct::product());
    TunnelProfilePtr profile = store.makeProfile();
    profile->setEnabled(true);
    profile->setProtocolConfiguration(TunnelProtocol{QStringLiteral("Corvane"), {}});
    bool saved = false;
    store.save(profile, [&](std::optional<TunnelError>) { saved = true; });
    spinUntil([&] { return saved; });
    QDir().mkpath(locations().runtimeDir);
    QLocalServer helperEnd;
    helperEnd.listen(store.channel(profile->identifier()).socketPath());

    VpnManager manager(store);
    spinUntil([&] { return manager.observerAdded && helperEnd.hasPendingConnections(); });
    QLocalSocket *socket = helperEnd.nextPendingConnection();
    QObject observer;
    int posted = 0;
    NotificationCenter::shared().addObserver(kProxyServiceVPNStatusNotification, &observer,
                                             [&posted] { ++posted; });
    bool connected = false;
    for (auto _ : state) {
        connected = !connected;
        const int before = posted;
        socket->write(connected ? "connected\n" : "connecting\n");
        socket->flush();
        spinUntil([&] { return posted > before; });
    }
}
BENCHMARK(BM_StatusChangeToNotification)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    home = &dir;
    QTcpServer listening;
    listening.setMaxPendingConnections(1000);
    listening.listen(QHostAddress::LocalHost);
    relay = &listening;
    // The helper's local proxies take free ports, not the user's.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    QDir().mkpath(dir.filePath(QStringLiteral("config/corvane")));
    QFile settings(dir.filePath(QStringLiteral("config/corvane/settings.json")));
    if (settings.open(QIODevice::WriteOnly))
        settings.write(R"({"socksPort": 0, "httpProxyPort": 0})");
    settings.close();
    // "配置 conf" on every connect would drown the results.
    Log::setSink([](QtMsgType, const QString &) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
