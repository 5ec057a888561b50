#include "screens/LocalProxyLine.h"

#include "core/vpn/LocalProxyAddress.h"

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
    hide();
}

LocalProxyLine::~LocalProxyLine() = default;

void LocalProxyLine::setPorts(const std::optional<LocalProxyPorts> &ports)
{
    m_addresses = ports ? LocalProxyAddress::urls(*ports) : QString();
    const QString line = ports ? LocalProxyAddress::line(*ports) : QString();
    setText(line);
    setAccessibleName(line);
    setVisible(ports.has_value());
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
