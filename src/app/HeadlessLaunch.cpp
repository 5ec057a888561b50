#include "app/HeadlessLaunch.h"

#include "core/vpn/VpnManager.h"
#include "platform/scheduling/Scheduler.h"

#include <QCoreApplication>
#include <cstdio>

namespace corvane {

namespace {
// With no stored profile nothing is ever posted; by then the store has long answered.
constexpr auto kQuiet = std::chrono::milliseconds(500);
// A helper that never answers the stop must not keep the process forever.
constexpr auto kGiveUp = std::chrono::seconds(10);
} // namespace

HeadlessLaunch::HeadlessLaunch(QObject *parent) : QObject(parent)
{
    connect(&VpnManager::shared(), &VpnManager::statusChanged, this,
            &HeadlessLaunch::statusChanged);
    delay(kQuiet, this, [this] { quitIfOff(); });
    delay(kGiveUp, this, [] { QCoreApplication::exit(1); });
}

void HeadlessLaunch::statusChanged(VPNStatus status)
{
    const QByteArray line = "status: " + vpnStatusName(status).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fflush(stdout);
    quitIfOff();
}

void HeadlessLaunch::quitIfOff()
{
    if (VpnManager::shared().vpnStatus() == VPNStatus::off)
        QCoreApplication::quit();
}

} // namespace corvane
