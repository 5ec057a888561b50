#include "screens/LocalProxyLine.h"

#include "core/vpn/LocalProxyAddress.h"
#include "core/vpn/SystemProxyFollower.h"
#include "core/vpn/TrafficBlockLine.h"
#include "core/vpn/TrafficText.h"
#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VpnManager.h"
#include "platform/resources/Localization.h"
#include "platform/settings/SettingsStore.h"
#include "ui/common/PauseWhileHidden.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>

namespace corvane {

LocalProxyLine::LocalProxyLine(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("proxyLbl"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Selectable text takes focus by click only; the keyboard must reach it as well.
    setFocusPolicy(Qt::StrongFocus);
    if (const SystemProxyFollower *follower = SystemProxyFollower::shared())
        connect(follower, &SystemProxyFollower::changed, this, &LocalProxyLine::render);
    // The screens hand over each status; the sequencer's reconnect ends without one.
    connect(&TunnelSequencer::shared(), &TunnelSequencer::stateChanged, this,
            &LocalProxyLine::render);
    hide();
    // The pulse's rule: nothing is asked for, and nothing wakes the window, while it is out of
    // sight.
    PauseWhileHidden::watch(this, this, [this](bool onScreen) {
        m_onScreen = onScreen;
        followTraffic();
    });
}

LocalProxyLine::~LocalProxyLine()
{
    if (m_followed)
        m_followed->watchTraffic(false);
}

void LocalProxyLine::setPorts(const std::optional<LocalProxyPorts> &ports)
{
    m_ports = ports;
    render();
    followTraffic();
}

void LocalProxyLine::followTraffic()
{
    TunnelConnection *wanted = m_ports && m_onScreen ? VpnManager::shared().connection() : nullptr;
    if (wanted == m_followed)
        return;
    if (m_followed) {
        disconnect(m_followed, &TunnelConnection::trafficChanged, this,
                   &LocalProxyLine::renderTraffic);
        m_followed->watchTraffic(false);
    }
    m_followed = wanted;
    if (wanted) {
        connect(wanted, &TunnelConnection::trafficChanged, this, &LocalProxyLine::renderTraffic);
        wanted->watchTraffic(true);
    }
    render();
}

void LocalProxyLine::render()
{
    m_addresses = m_ports ? LocalProxyAddress::urls(*m_ports) : QString();
    QString line = m_ports ? LocalProxyAddress::line(*m_ports) : QString();
    const SystemProxyFollower *follower = SystemProxyFollower::shared();
    // The mode as chosen now: the helper takes it at each start, so a choice made while the
    // tunnel is up shows here before the next connect carries it out.
    const ProxyModeSetting::Mode mode =
        follower ? follower->mode() : ProxyModeSetting(SettingsStore::shared()).mode();
    if (m_ports && mode == ProxyModeSetting::Mode::systemWide)
        line += u'\n' + Localization::string(QStringLiteral("proxyMode.systemWideHere"));
    else if (m_ports && follower && follower->pointsHere())
        line += u'\n' + Localization::string(QStringLiteral("proxyMode.pointsHere"));
    else if (m_ports && follower && follower->unavailable())
        line += u'\n' + Localization::string(QStringLiteral("proxyMode.unavailable"));
    // Only while the tunnel is away, so never beside the addresses.
    const QString blocked =
        TrafficBlockLine::of(mode, VpnManager::shared(), TunnelSequencer::shared());
    if (!blocked.isEmpty())
        line = blocked;
    setText(line);
    setVisible(!line.isEmpty());
    renderTraffic();
}

void LocalProxyLine::renderTraffic()
{
    // Every second while the tunnel carries bytes: nothing but the figures is looked at again.
    const std::optional<TunnelTraffic> traffic =
        m_ports && m_followed ? m_followed->traffic() : std::nullopt;
    showTraffic(traffic ? TrafficText::line(*traffic) : QString());
    setAccessibleName(m_traffic.isEmpty() ? text() : text() + u'\n' + m_traffic);
}

void LocalProxyLine::showTraffic(const QString &traffic)
{
    if (traffic == m_traffic)
        return;
    // The figures change every second: drawn in a strip of their own below the label's text,
    // they repaint that strip alone instead of laying the whole screen out again. Only their
    // coming and going changes the label's size.
    if (traffic.isEmpty() != m_traffic.isEmpty())
        setContentsMargins(0, 0, 0, traffic.isEmpty() ? 0 : fontMetrics().lineSpacing());
    m_traffic = traffic;
    update(trafficStrip());
}

QRect LocalProxyLine::trafficStrip() const
{
    const int height = contentsMargins().bottom();
    return {0, this->height() - height, width(), height};
}

void LocalProxyLine::paintEvent(QPaintEvent *event)
{
    // The strip is the label's bottom margin, where none of its text reaches.
    if (!trafficStrip().contains(event->rect()))
        QLabel::paintEvent(event);
    if (m_traffic.isEmpty() || !event->rect().intersects(trafficStrip()))
        return;
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect strip = trafficStrip();
    painter.drawText(strip, Qt::AlignCenter,
                     fontMetrics().elidedText(m_traffic, Qt::ElideRight, strip.width()));
}

void LocalProxyLine::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy) && !hasSelectedText() && m_ports) {
        QGuiApplication::clipboard()->setText(m_addresses);
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

} // namespace corvane
