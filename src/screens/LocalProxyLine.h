#pragma once

#include "platform/tunnel/TunnelConnection.h"

#include <QLabel>
#include <optional>

namespace corvane {

// The running tunnel's local proxies in a line a person can select and copy, from the keyboard
// too (copy with nothing selected takes both addresses), and under it whether the desktop's
// proxy settings point at them. Hidden while there are none.
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

private:
    void render();

    std::optional<LocalProxyPorts> m_ports;
    QString m_addresses;
};

} // namespace corvane
