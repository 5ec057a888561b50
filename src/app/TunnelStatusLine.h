#pragma once

#include "core/vpn/VPNStatus.h"

#include <QLabel>

namespace corvane {

// One line showing the tunnel status, following the status notification.
class TunnelStatusLine final : public QLabel
{
    Q_OBJECT

public:
    explicit TunnelStatusLine(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(TunnelStatusLine)

private:
    void showStatus(VPNStatus status);
};

} // namespace corvane
