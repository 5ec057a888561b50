#pragma once

#include "core/vpn/VPNStatus.h"

#include <QObject>
#include <QPointer>
#include <QString>

namespace corvane {

class MainViewController;

// A scripted run of the quick connect screen: taps its button the way a pointer would, waits
// for the tunnel to come up, taps again after a few seconds and quits once the tunnel is off,
// printing every status line and tunnel status on the way. Exits with 1 and a message on
// standard error when the tunnel does not get there in time.
class QuickConnectDemo final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuickConnectDemo)

public:
    explicit QuickConnectDemo(MainViewController *screen, QObject *parent = nullptr);

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

    QPointer<MainViewController> m_screen;
    Phase m_phase = Phase::settling;
    QString m_lastLine;
    QString m_lastStatus;
};

} // namespace corvane
