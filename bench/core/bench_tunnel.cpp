#include "core/vpn/VpnManager.h"
#include "platform/log/Log.h"
#include "platform/notification/NotificationCenter.h"
#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace corvane;

namespace {

QTemporaryDir *home;

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

// The whole connect: store load, save, reload, the helper's start and its first two reports.
void BM_ConnectTunnelToOn(benchmark::State &state)
{
    QDir(home->path()).removeRecursively();
    LinuxTunnelProfileStore store(locations());
    VpnManager manager(store);
    for (auto _ : state) {
        manager.address = QStringLiteral("relay.example");
        manager.port = 14223;
        manager.auth = QStringLiteral("orderId=1&time=1&sign=0");
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
    LinuxTunnelProfileStore store(locations());
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
    qputenv("CORVANE_TUNNEL_CONNECT_DELAY_MS", "0");
    // "配置 conf" on every connect would drown the results.
    Log::setSink([](const QString &) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
