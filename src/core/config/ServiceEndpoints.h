#pragma once

#include <QString>

namespace corvane {

// Where the client reaches the service, the tunnel relay and the public-address lookup. The
// built-in values are the product's; the application may install others once at start-up
// (tests and the demo service point them at loopback), and everything below the application
// reads them from here rather than from the environment.
struct ServiceEndpoints
{
    static constexpr auto kServiceBaseAddress = "http://api.corvane.example:8700";
    static constexpr auto kTunnelHost = "tunnel.corvane.example";
    static constexpr qint64 kTunnelPort = 14223;
    // Sohu's address lookup answers "/cityjson?ie=utf-8" with `var returnCitySN = {...};`.
    static constexpr auto kLookupBaseAddress = "http://pv.sohu.com";
    // The quick connect relay (a documentation address until the service names its own).
    static constexpr auto kRelayHost = "203.0.113.35";
    static constexpr qint64 kRelayPort = 3005;

    // Scheme, host and port of the service, without a trailing slash.
    QString serviceBaseAddress = QString::fromLatin1(kServiceBaseAddress);
    QString tunnelHost = QString::fromLatin1(kTunnelHost);
    qint64 tunnelPort = kTunnelPort;
    // Scheme, host and port of the lookup service, without a trailing slash.
    QString lookupBaseAddress = QString::fromLatin1(kLookupBaseAddress);
    QString relayHost = QString::fromLatin1(kRelayHost);
    qint64 relayPort = kRelayPort;

    static const ServiceEndpoints &current();
    // Replaces the values every later request and connect uses; trailing slashes are dropped.
    static void install(ServiceEndpoints endpoints);
};

} // namespace corvane
