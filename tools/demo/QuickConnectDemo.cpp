#include "app/QuickConnectDemo.h"

#include "core/vpn/VpnManager.h"
#include "platform/scheduling/Scheduler.h"
#include "screens/quick/MainViewController.h"
#include "ui/morphing/MorphingLabel.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>
#include <cstdio>

namespace corvane {

namespace {
// Long enough for the launch-time disconnect to have been answered.
constexpr double kSettleSeconds = 1.5;
constexpr double kHoldSeconds = 4.0;
constexpr double kGiveUpSeconds = 15.0;

void printLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}
} // namespace

QuickConnectDemo::QuickConnectDemo(MainViewController *screen, QObject *parent)
    : QObject(parent), m_screen(screen)
{
    // Connected after the screen, so the screen has redrawn when this runs.
    connect(&VpnManager::shared(), &VpnManager::statusChanged, this,
            &QuickConnectDemo::statusChanged);
}

void QuickConnectDemo::start()
{
    printStatusLine();
    delay(kSettleSeconds, this, [this] {
        m_phase = Phase::connecting;
        press();
        expect(Phase::connecting, VPNStatus::on);
    });
}

void QuickConnectDemo::press()
{
    if (!m_screen || !m_screen->connect || !m_screen->window()->windowHandle()) {
        std::fputs("demo: the quick connect screen has no connect button on screen\n", stderr);
        finish(1);
        return;
    }
    QPushButton *button = m_screen->connect;
    printLine(QStringLiteral("tap: ") + button->text());
    // Through the window, as a pointer's press and release arrive: a button that ignores
    // touches lets this pass to whatever lies beneath.
    QWidget *top = button->window();
    const QPointF local = button->mapTo(top, button->rect().center());
    const QPointF global = top->mapToGlobal(local);
    QMouseEvent down(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(top->windowHandle(), &down);
    QMouseEvent up(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                   Qt::NoModifier);
    QCoreApplication::sendEvent(top->windowHandle(), &up);
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

    if (m_phase == Phase::connecting && status == VPNStatus::on) {
        m_phase = Phase::holding;
        delay(kHoldSeconds, this, [this] {
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
    if (!m_screen || !m_screen->content)
        return;
    const QString line = m_screen->content->text();
    if (line == m_lastLine)
        return;
    m_lastLine = line;
    printLine(QStringLiteral("status line: ") + line);
}

void QuickConnectDemo::expect(Phase phase, VPNStatus target)
{
    delay(kGiveUpSeconds, this, [this, phase, target] {
        if (m_phase != phase)
            return;
        const QString message = QStringLiteral("demo: the tunnel did not reach %1 within %2 s "
                                               "(it is %3); is CORVANE_TUNNEL_HELPER set?\n")
                                    .arg(vpnStatusName(target))
                                    .arg(kGiveUpSeconds)
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
