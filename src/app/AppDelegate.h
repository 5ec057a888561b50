#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class QApplication;

namespace corvane {

// Start-up and termination: a tunnel left running by an earlier run is stopped at every launch
// and again when the application quits, also when the quit comes as SIGTERM, SIGINT or SIGHUP;
// one that corvanectl started belongs to its script and is left alone.
// Moving between active and inactive touches nothing.
class AppDelegate final : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(QApplication &application);
    Q_DISABLE_COPY_MOVE(AppDelegate)

    // Returns at once; the disconnect completes later.
    bool didFinishLaunching();
    // Runs as the application quits, after its event loop has ended.
    void willTerminate();

    QPointer<QWidget> window;
    // Whether a tunnel that corvanectl started survives this launch and quit: a script owns
    // it, and a window opened or closed meanwhile must not pull it from under the script.
    bool sparesScriptedTunnel = true;

private:
    void stopTunnel();
};

} // namespace corvane
