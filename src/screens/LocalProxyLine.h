#pragma once

#include "platform/tunnel/TunnelConnection.h"

#include <QLabel>
#include <QPointer>
#include <optional>

namespace corvane {

// The running tunnel's local proxies in a line a person can select and copy, from the keyboard
// too (copy with nothing selected takes both addresses), and under it whether the desktop's
// proxy settings point at them or every program goes through the tunnel, and what it carries
// (rates and total, watched only while the line is on screen). Hidden while there are none, but
// while the system-wide mode blocks the machine's traffic for a tunnel that is away: it says so.
class LocalProxyLine final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LocalProxyLine)

public:
    explicit LocalProxyLine(QWidget *parent = nullptr);
    ~LocalProxyLine() override;

    void setPorts(const std::optional<LocalProxyPorts> &ports);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void render();
    void renderTraffic();
    void showTraffic(const QString &traffic);
    QRect trafficStrip() const;
    // Watches the tunnel's traffic while the line is on screen with ports, and only then.
    void followTraffic();

    std::optional<LocalProxyPorts> m_ports;
    QPointer<TunnelConnection> m_followed;
    bool m_onScreen = false;
    QString m_addresses;
    // The traffic line under the text, empty while not shown.
    QString m_traffic;
};

} // namespace corvane
