#include "core/model/SCOrder.h"
#include "core/model/SCOrderContent.h"
#include "core/state/LocalState.h"
#include "core/vpn/VpnManager.h"
#include "platform/tunnel/memory/MemoryTunnelConnection.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"
#include "screens/home/SCHomeViewController.h"
#include "ui/toolkit/ActionSheet.h"

#include <QApplication>
#include <QPushButton>
#include <benchmark/benchmark.h>
#include <chrono>

using namespace corvane;

namespace {

MemoryTunnelProfileStore *store = nullptr;
QString profile;

MemoryTunnelConnection *connection()
{
    return store->connection(profile);
}

void drain()
{
    while (store->hasPendingCompletions())
        QCoreApplication::processEvents();
}

// From the tap on connect to the tunnel's start, on the real timers: the one-second step
// itself is taken off, so what is reported is what the screen and the manager add to it.
void BM_TapToTunnelStart(benchmark::State &state)
{
    SCHomeViewController screen;
    screen.resize(375, 812);
    screen.show();
    auto order = std::make_shared<SCOrder>();
    order->orderId = QStringLiteral("202412060001234");
    order->secret = QStringLiteral("a1b2c3d4e5f6a7b8c9d0");
    order->productId = 2;
    currentOrderContent() = std::make_shared<SCOrderContent>();
    currentOrderContent()->orderInfoList = {order};
    screen.selectedOrder();
    screen.findChild<ActionSheet *>()->choose(0);
    while (!screen.hasOrder())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const QPointer<QPushButton> connectButton =
        screen.findChild<QPushButton *>(QStringLiteral("connectBtn"));
    for (auto _ : state) {
        connection()->setStatus(TunnelStatus::Disconnected);
        drain();
        const int starts = connection()->startCount();
        const auto tapped = std::chrono::steady_clock::now();
        connectButton->click();
        while (connection()->startCount() == starts)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - tapped;
        state.SetIterationTime(
            taken.count() -
            std::chrono::duration<double>(SCHomeViewController::kStepDelay).count());
    }
}
BENCHMARK(BM_TapToTunnelStart)->UseManualTime()->Iterations(12)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto memory = std::make_unique<MemoryTunnelProfileStore>();
    store = memory.get();
    profile = store->addStoredProfile(QStringLiteral("Corvane"));
    VpnManager::installSharedStore(std::move(memory));
    VpnManager::shared();
    drain();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
