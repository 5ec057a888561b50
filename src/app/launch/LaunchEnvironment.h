#pragma once

#include "core/config/ServiceEndpoints.h"

#include <QProcessEnvironment>
#include <QString>

namespace corvane {

class TunnelProfileStore;

// The run-time overrides, read here and nowhere else in the application: CORVANE_SERVICE_URL,
// CORVANE_LOOKUP_URL, CORVANE_TUNNEL_HOST, CORVANE_RELAY_HOST, CORVANE_TUNNEL_HELPER and
// CORVANE_DEMO_SERVICE. Unset or empty variables keep the built-in values.
class LaunchEnvironment final
{
public:
    LaunchEnvironment() = delete;

    static ServiceEndpoints endpoints(const QProcessEnvironment &environment);
    // Empty when the helper next to the application is meant.
    static QString tunnelHelper(const QProcessEnvironment &environment);
    // The demo service program: CORVANE_DEMO_SERVICE, else the one next to the application.
    static QString
    demoService(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

    // Hands the overrides down before anything below the application uses them: the
    // endpoints, and the tunnel store with its helper program, which it returns (null when the
    // tunnel manager was already made on another store).
    static TunnelProfileStore *
    install(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
};

} // namespace corvane
