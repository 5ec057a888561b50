#include "screens/LocalProxyLine.h"

#include "core/vpn/LocalProxyAddress.h"
#include "core/vpn/SystemProxyFollower.h"
#include "platform/resources/Localization.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

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
    hide();
}

LocalProxyLine::~LocalProxyLine() = default;

void LocalProxyLine::setPorts(const std::optional<LocalProxyPorts> &ports)
{
    m_ports = ports;
    render();
}

void LocalProxyLine::render()
{
    m_addresses = m_ports ? LocalProxyAddress::urls(*m_ports) : QString();
    QString line = m_ports ? LocalProxyAddress::line(*m_ports) : QString();
    const SystemProxyFollower *follower = SystemProxyFollower::shared();
    if (m_ports && follower && follower->pointsHere())
        line += u'\n' + Localization::string(QStringLiteral("proxyMode.pointsHere"));
    else if (m_ports && follower && follower->unavailable())
        line += u'\n' + Localization::string(QStringLiteral("proxyMode.unavailable"));
    setText(line);
    setAccessibleName(line);
    setVisible(m_ports.has_value());
}

void LocalProxyLine::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy) && !hasSelectedText()) {
        QGuiApplication::clipboard()->setText(m_addresses);
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

} // namespace corvane
