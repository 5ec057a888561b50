#pragma once

#include "core/vpn/VPNStatus.h"

#include <QObject>
#include <QString>

namespace corvane {

// A scripted run of the quick connect screen, through its accessibility interface: presses the
// connect button, waits for the tunnel to come up, presses it again after a few seconds and
// quits once the tunnel is off, printing every status line and tunnel status on the way. Exits
// with 1 and a message on standard error when the tunnel does not get there in time.
class QuickConnectDemo final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuickConnectDemo)

public:
    explicit QuickConnectDemo(QObject *parent = nullptr);

    void start();

private:
    enum class Phase
    {
        settling,
        connecting,
        holding,
        disconnecting,
        done
    };

    void press();
    void statusChanged(VPNStatus status);
    void printStatusLine();
    void expect(Phase phase, VPNStatus target);
    void finish(int code);

    Phase m_phase = Phase::settling;
    QString m_lastLine;
    QString m_lastStatus;
};

} // namespace corvane
