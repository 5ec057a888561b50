#include "QuickConnectDemo.h"

#include "ScreenReader.h"
#include "core/vpn/TunnelTexts.h"
#include "core/vpn/VpnManager.h"
#include "platform/scheduling/Scheduler.h"

#include <QCoreApplication>
#include <cstdio>

namespace corvane {

namespace {
// Long enough for the launch-time disconnect to have been answered.
constexpr auto kSettle = std::chrono::milliseconds(1500);
constexpr auto kHold = std::chrono::seconds(4);
constexpr auto kGiveUp = std::chrono::seconds(15);

void printLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}
} // namespace

QuickConnectDemo::QuickConnectDemo(QObject *parent) : QObject(parent)
{
    // Connected after the screen, so the screen has redrawn when this runs.
    connect(&VpnManager::shared(), &VpnManager::statusChanged, this,
            &QuickConnectDemo::statusChanged);
}

void QuickConnectDemo::start()
{
    printStatusLine();
    delay(kSettle, this, [this] {
        m_phase = Phase::connecting;
        press();
        expect(Phase::connecting, VPNStatus::on);
    });
}

void QuickConnectDemo::press()
{
    QAccessibleInterface *button = ScreenReader::find(QAccessible::Button, [](const QString &name) {
        return name == TunnelTexts::buttonTitle(VPNStatus::off) ||
               name == TunnelTexts::buttonTitle(VPNStatus::on);
    });
    if (!button) {
        std::fputs("demo: the quick connect screen has no connect button on screen\n", stderr);
        finish(1);
        return;
    }
    printLine(QStringLiteral("tap: ") + ScreenReader::name(button));
    ScreenReader::press(button);
    printStatusLine();
}

void QuickConnectDemo::statusChanged(VPNStatus status)
{
    const QString name = vpnStatusName(status);
    if (name != m_lastStatus) {
        m_lastStatus = name;
        printLine(QStringLiteral("tunnel: ") + name);
    }
    printStatusLine();

    if (const std::optional<TunnelError> &failure = VpnManager::shared().connectFailure;
        failure && m_phase != Phase::done) {
        std::fputs(QStringLiteral("demo: %1\n")
                       .arg(TunnelTexts::connectFailure(*failure))
                       .toUtf8()
                       .constData(),
                   stderr);
        finish(1);
    } else if (m_phase == Phase::connecting && status == VPNStatus::on) {
        m_phase = Phase::holding;
        delay(kHold, this, [this] {
            m_phase = Phase::disconnecting;
            press();
            expect(Phase::disconnecting, VPNStatus::off);
        });
    } else if (m_phase == Phase::disconnecting && status == VPNStatus::off) {
        finish(0);
    }
}

void QuickConnectDemo::printStatusLine()
{
    QAccessibleInterface *label =
        ScreenReader::find(QAccessible::StaticText, [](const QString &name) {
            for (VPNStatus status :
                 {VPNStatus::off, VPNStatus::connecting, VPNStatus::on, VPNStatus::disconnecting}) {
                if (name == TunnelTexts::statusLine(status))
                    return true;
            }
            return false;
        });
    const QString line = ScreenReader::name(label);
    if (line.isEmpty() || line == m_lastLine)
        return;
    m_lastLine = line;
    printLine(QStringLiteral("status line: ") + line);
}

void QuickConnectDemo::expect(Phase phase, VPNStatus target)
{
    delay(kGiveUp, this, [this, phase, target] {
        if (m_phase != phase)
            return;
        const QString message = QStringLiteral("demo: the tunnel did not reach %1 within %2 s "
                                               "(it is %3); is CORVANE_TUNNEL_HELPER set?\n")
                                    .arg(vpnStatusName(target))
                                    .arg(kGiveUp.count())
                                    .arg(vpnStatusName(VpnManager::shared().vpnStatus()));
        std::fputs(message.toUtf8().constData(), stderr);
        finish(1);
    });
}

void QuickConnectDemo::finish(int code)
{
    m_phase = Phase::done;
    QCoreApplication::exit(code);
}

} // namespace corvane
