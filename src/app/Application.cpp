#include "app/Application.h"

#include "app/BuiltInIconEngine.h"
#include "app/ConnectOnLaunch.h"
#include "app/DesktopSession.h"
#include "app/FirstFrame.h"
#include "app/HeadlessLaunch.h"
#include "app/TunnelStatusLine.h"
#include "core/vpn/SystemProxyFollower.h"
#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VpnManager.h"
#include "launch/DesktopIdentity.h"
#include "launch/LaunchEnvironment.h"
#include "launch/SingleInstance.h"
#include "platform/log/Log.h"
#include "platform/settings/SettingsStore.h"
#include "platform/systemproxy/DesktopSystemProxy.h"
#include "screens/MainScreens.h"
#include "ui/common/WindowFit.h"
#include "ui/toolkit/ScreenFactory.h"
#include "ui/toolkit/ViewController.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QScreen>
#include <cstdio>

namespace corvane {

// Every launch but the window's tidies the tunnel's runtime folder before it does anything else.
Application::Application(QApplication &application)
    : m_delegate(application),
      m_store(LaunchEnvironment::install(QProcessEnvironment::systemEnvironment(),
                                         LinuxTunnelProfileStore::Tidying::later)),
      m_systemProxy(std::make_unique<DesktopSystemProxy>())
{
    // Before anything touches the tunnel, and so also at login through the autostart entry:
    // settings left pointing at a tunnel that is gone are given back.
    if (const std::optional<QString> error =
            m_systemProxy->applied() ? m_systemProxy->repair() : std::nullopt)
        Log::warning(*error);
    m_systemProxyFollower = std::make_unique<SystemProxyFollower>(
        TunnelSequencer::shared(), VpnManager::shared(), *m_systemProxy,
        ProxyModeSetting(SettingsStore::shared()));
    SystemProxyFollower::setShared(m_systemProxyFollower.get());
}

Application::~Application() = default;

void Application::nameProcess()
{
    QApplication::setApplicationName(QStringLiteral("corvane"));
    QApplication::setApplicationVersion(kVersion);
    QApplication::setDesktopFileName(kDesktopId);
    // The drawings the package installs into the theme, a folder a size ("48x48"); the theme's
    // own come after the first frame.
    QMap<int, QString> drawings;
    for (const QFileInfo &size :
         QDir(QStringLiteral(":/icons")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        drawings.insert(size.fileName().section(u'x', 0, 0).toInt(),
                        size.filePath() + QStringLiteral("/com.corvane.Corvane.png"));
    QApplication::setWindowIcon(QIcon(new BuiltInIconEngine(std::move(drawings))));
}

void Application::useThemeIcon()
{
    if (const QIcon themed = QIcon::fromTheme(kDesktopId, QIcon()); !themed.isNull())
        QApplication::setWindowIcon(themed);
}

int Application::run(Mode mode)
{
    switch (mode) {
    case Mode::disconnectAndExit:
        return runDisconnectAndExit();
    case Mode::connect:
        return runConnect();
    case Mode::quickConnect:
        return runWindow(QStringLiteral("quick"), false);
    case Mode::signIn:
        return runWindow(QStringLiteral("login"), true);
    }
    return 1;
}

ViewController *Application::openScreen(const QString &identifier)
{
    registerMainScreens();
    m_screen.reset(ScreenFactory::named(QStringLiteral("Main")).instantiate(identifier));
    m_screen->setWindowTitle(QStringLiteral("Corvane"));
    // Loaded first: the layout file sets the size it was drawn at.
    m_screen->loadViewIfNeeded();
    const QScreen *screen = QGuiApplication::primaryScreen();
    m_screen->resize(WindowFit::firstSize(screen ? screen->availableGeometry() : QRect()));
    m_screen->setMinimumSize(WindowFit::kMinimumSize);
    m_delegate.window = m_screen.get();
    m_delegate.didFinishLaunching();
    m_screen->show();
    // Reading every folder of the icon theme, or every process's name, costs more than the frame.
    m_firstFrame = std::make_unique<FirstFrame>(m_screen.get(), [this] {
        useThemeIcon();
        tidyTunnelStore();
    });
    return m_screen.get();
}

void Application::tidyTunnelStore()
{
    if (m_store)
        m_store->tidyRuntimeFolder();
}

int Application::runDisconnectAndExit()
{
    tidyTunnelStore();
    const HeadlessLaunch launch;
    m_delegate.sparesScriptedTunnel = false;
    m_delegate.didFinishLaunching();
    return QApplication::exec();
}

int Application::runConnect()
{
    tidyTunnelStore();
    useThemeIcon();
    TunnelStatusLine statusLine;
    m_delegate.window = &statusLine;
    m_delegate.didFinishLaunching();
    ConnectOnLaunch::connect();
    statusLine.show();
    QApplication::exec();
    return 0;
}

int Application::runWindow(const QString &identifier, bool desktopKeyring)
{
    SingleInstance instance(SingleInstance::defaultFolder());
    if (const std::optional<int> exitCode = handOff(instance))
        return *exitCode;
    if (desktopKeyring)
        LaunchEnvironment::useDesktopKeyring();
    const DesktopSession session(openScreen(identifier), instance);
    return QApplication::exec();
}

// The launches that drive the user's tunnel from a window go one at a time: a later one shows
// the running one's window and ends, before its start-up could stop that one's tunnel.
std::optional<int> Application::handOff(SingleInstance &instance)
{
    switch (instance.claim()) {
    case SingleInstance::Claim::first:
        return std::nullopt;
    case SingleInstance::Claim::handedOff:
        return 0;
    case SingleInstance::Claim::noAnswer:
        std::fprintf(stderr, "corvane: another corvane is running but does not answer\n");
        return 1;
    }
    return 1;
}

} // namespace corvane
