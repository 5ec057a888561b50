#pragma once

#include "core/vpn/VPNStatus.h"

#include <QObject>

namespace corvane {

// Runs start-up without a window: prints every status the launch-time disconnect reports
// ("status: on", ...) and quits once the tunnel is off. Scripts and tests use it to stop a
// tunnel that outlived its window.
class HeadlessLaunch final : public QObject
{
    Q_OBJECT

public:
    explicit HeadlessLaunch(QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(HeadlessLaunch)

private:
    void statusChanged(VPNStatus status);
    void quitIfOff();
};

} // namespace corvane
