#pragma once

#include <QPointer>
#include <QWidget>

namespace corvane {

class SCLoginViewController;

// What the tray's tunnel items do, through the tunnel sequencer, never a screen: with the home
// screen's choices once someone is signed in, else with quick connect's relay.
class TrayTunnelCommands final
{
public:
    explicit TrayTunnelCommands(QWidget *window);

    bool signedIn() const;
    // Signed in and an order chosen: a connect has something to connect with.
    bool hasOrder() const;
    // A screen's tap waits out its step.
    bool busy() const;
    bool changingAddress() const;

    // Connects when the tunnel is off, disconnects otherwise, at once.
    void toggle();
    void changeIP();
    // Back to the sign-in screen with the password forgotten, and the tunnel this program
    // started stopped; a script's tunnel stays up (the log says so).
    void signOut();
    // Back to the sign-in screen with the password forgotten, after corvanectl signed the
    // account out: the tunnel is left as corvanectl left it. False when nobody was signed in.
    bool showSignedOut();

private:
    SCLoginViewController *login() const;

    QPointer<QWidget> m_window;
};

} // namespace corvane
