#include "app/notify/TunnelNotices.h"

#include "core/vpn/TunnelTexts.h"
#include "platform/desktopnotifier/DesktopNotifier.h"
#include "platform/scheduling/Scheduler.h"

namespace corvane {

namespace {
QString addressText(const PublicAddressLookup::Outcome &outcome)
{
    if (outcome.failed || !outcome.answer)
        return QStringLiteral("公网地址查询失败");
    const QString place = outcome.answer->placeText();
    return place.isEmpty() ? outcome.answer->addressText()
                           : outcome.answer->addressText() + u' ' + place;
}
} // namespace

TunnelNotices::TunnelNotices(DesktopNotifier &notifier, Probes probes, QObject *parent)
    : QObject(parent), m_notifier(notifier), m_probes(std::move(probes)),
      m_lookup(new PublicAddressLookup(this))
{}

void TunnelNotices::statusChanged(VPNStatus status)
{
    if (status == m_last)
        return;
    const VPNStatus before = std::exchange(m_last, status);
    // The home screen ends its change of IP when the tunnel is on again; what it said on the
    // way there is what counts.
    if (status != VPNStatus::on)
        m_changing = m_probes.changingAddress && m_probes.changingAddress();

    switch (status) {
    case VPNStatus::disconnecting:
        m_stopAsked = true;
        return;
    case VPNStatus::connecting:
        if (before == VPNStatus::off)
            m_stopAsked = false;
        return;
    case VPNStatus::off:
        ++m_upCount;
        m_lookup->cancel();
        if (m_probes.reconnecting && m_probes.reconnecting())
            return;
        if (!m_stopAsked && (before == VPNStatus::on || before == VPNStatus::connecting))
            wentDown(before == VPNStatus::on);
        return;
    case VPNStatus::on: {
        const bool changed = std::exchange(m_changing, false);
        m_stopAsked = false;
        // A tunnel found already up at launch was not brought up by anyone here.
        const bool focused = m_probes.windowFocused && m_probes.windowFocused();
        if (before == VPNStatus::connecting && !focused)
            cameUp(changed);
        return;
    }
    }
}

void TunnelNotices::reconnectStarted()
{
    QString body = TunnelTexts::reconnecting();
    if (const QString blocked = m_probes.trafficBlocked ? m_probes.trafficBlocked() : QString();
        !blocked.isEmpty())
        body += u'\n' + blocked;
    m_notifier.show({kTag, QStringLiteral("Corvane"), body});
}

void TunnelNotices::cameUp(bool changedAddress)
{
    const QString title =
        changedAddress ? QStringLiteral("IP 已切换") : QStringLiteral("Corvane 已连接");
    m_notifier.show({kTag, title, QStringLiteral("正在查询公网地址…")});
    const quint64 up = m_upCount;
    delay(kLookupDelay, this, [this, up, title] {
        if (up != m_upCount)
            return;
        m_lookup->start([this, up, title](const PublicAddressLookup::Outcome &outcome) {
            if (up == m_upCount)
                m_notifier.show({kTag, title, addressText(outcome)});
        });
    });
}

void TunnelNotices::wentDown(bool wasUp)
{
    if (wasUp) {
        m_notifier.show({kTag, QStringLiteral("Corvane 已断开"),
                         QStringLiteral("隧道意外断开，并非由您操作。")});
    } else {
        m_notifier.show({kTag, QStringLiteral("Corvane 未能连接"),
                         QStringLiteral("隧道没有建立：服务拒绝了连接，或隧道程序未能启动。")});
    }
}

} // namespace corvane
