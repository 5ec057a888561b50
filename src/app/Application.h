#pragma once

#include "app/AppDelegate.h"

#include <QObject>
#include <memory>
#include <optional>

class QApplication;

namespace corvane {

class DesktopSystemProxy;
class FirstFrame;
class LinuxTunnelProfileStore;
class SingleInstance;
class SystemProxyFollower;
class ViewController;

// One run of corvane: the launch every mode shares (the overrides, the delegate), then the mode
// the command line asked for, until its event loop ends.
class Application final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Application)

public:
    enum class Mode
    {
        // The sign-in screen, or the window of the corvane already running.
        signIn,
        // The quick connect screen, likewise.
        quickConnect,
        // Connect through the service's tunnel host at once, with a one-line status window.
        connect,
        // Start-up without a window: stop any running tunnel and quit.
        disconnectAndExit,
    };

    explicit Application(QApplication &application);
    ~Application() override;

    // Names the process corvane to its settings, the desktop and the accessibility bus, and
    // gives its windows Corvane's icon as built in; before anything reads the name.
    static void nameProcess();
    // The desktop theme's icon in place of the built-in one, where the theme has one. Finding out
    // reads every folder of the theme, so a window's launch asks after its first frame.
    static void useThemeIcon();

    // The process's exit code.
    int run(Mode mode);

    // A screen of the "Main" layout in a window of the layouts' design size, shown once the
    // launch's own work is done; it lives as long as this object. The theme's icon and the
    // tidying of the tunnel's runtime folder wait for its first frame.
    ViewController *openScreen(const QString &identifier);

private:
    int runDisconnectAndExit();
    int runConnect();
    int runWindow(const QString &identifier, bool desktopKeyring);
    static std::optional<int> handOff(SingleInstance &instance);
    void tidyTunnelStore();

    AppDelegate m_delegate;
    LinuxTunnelProfileStore *m_store;
    std::unique_ptr<DesktopSystemProxy> m_systemProxy;
    std::unique_ptr<SystemProxyFollower> m_systemProxyFollower;
    std::unique_ptr<ViewController> m_screen;
    std::unique_ptr<FirstFrame> m_firstFrame;
};

} // namespace corvane
