#pragma once

#include <QPointer>
#include <QWidget>

namespace corvane {

class MainViewController;
class SCHomeViewController;
class SCLoginViewController;

// What the tray's tunnel items do, through the screen that holds the tunnel: the home screen
// and its order once someone is signed in, the quick connect screen when it is the window, and
// otherwise the quick connect relay directly.
class TrayTunnelCommands final
{
public:
    explicit TrayTunnelCommands(QWidget *window);

    bool signedIn() const;
    // Signed in and an order chosen: a connect has something to connect with.
    bool hasOrder() const;
    // The screen that connects is between a tap and its delayed step.
    bool busy() const;
    bool changingAddress() const;

    // Connects when the tunnel is off, disconnects otherwise, as the screen's own button does.
    void toggle();
    void changeIP();
    // Back to the sign-in screen with the password forgotten, and the tunnel this program
    // started stopped; a script's tunnel stays up (the log says so).
    void signOut();
    // Back to the sign-in screen with the password forgotten, after corvanectl signed the
    // account out: the tunnel is left as corvanectl left it. False when nobody was signed in.
    bool showSignedOut();

private:
    SCHomeViewController *home() const;
    MainViewController *quick() const;
    SCLoginViewController *login() const;

    QPointer<QWidget> m_window;
};

} // namespace corvane
