#pragma once

#include "core/config/ServiceEndpoints.h"
#include "platform/tunnel/linux/LinuxTunnelProfileStore.h"

#include <QProcessEnvironment>
#include <QString>

namespace corvane {

// The run-time overrides, read here and nowhere else in the application: CORVANE_SERVICE_URL,
// CORVANE_LOOKUP_URL, CORVANE_TUNNEL_HOST, CORVANE_TUNNEL_PORT, CORVANE_RELAY_HOST,
// CORVANE_RELAY_PORT, CORVANE_RULES_DIR, CORVANE_TUNNEL_HELPER and CORVANE_DEMO_SERVICE. Unset
// or empty variables keep the built-in values.
class LaunchEnvironment final
{
public:
    LaunchEnvironment() = delete;

    static ServiceEndpoints endpoints(const QProcessEnvironment &environment);
    // The tunnel helper program: CORVANE_TUNNEL_HELPER, else the one shipped with the
    // application.
    static QString tunnelHelper(const QProcessEnvironment &environment);
    // The demo service program: CORVANE_DEMO_SERVICE, else the one shipped with the application.
    static QString
    demoService(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    // A program shipped with the application, looked up from `appDir`, the folder of the
    // running corvane: installed, it is in the package's libexec folder; in a build tree, next
    // to corvane.
    static QString companionProgram(const QString &name, const QString &appDir);

    // Hands the overrides down before anything below the application uses them: the
    // endpoints, and the tunnel store with its helper program, which it returns (null when the
    // tunnel manager was already made on another store).
    static LinuxTunnelProfileStore *
    install(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
            LinuxTunnelProfileStore::Tidying tidying = LinuxTunnelProfileStore::Tidying::atOnce);
    // With a Secret Service on the session bus the password is kept there from now on; only
    // before the first use of LocalState.
    static void useDesktopKeyring();
};

} // namespace corvane
