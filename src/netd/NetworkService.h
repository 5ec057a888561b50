#pragma once

#include "NetworkSetup.h"
#include "PolkitAuthorizer.h"
#include "SocketMarker.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace corvane::netd {

// The system-wide mode on the system bus: a fixed, typed interface whose every call polkit
// authorises first, on the caller's bus name. The mode belongs to the uid that brought it up:
// another uid may neither bring it up again nor down, root excepted for Down.
class NetworkService final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.corvane.Corvane.Network1")

public:
    // Cleans up what an earlier run left before answering anyone.
    explicit NetworkService(const QDBusConnection &bus, QObject *parent = nullptr);
    // Takes the mode away with the service.
    ~NetworkService() override;

public Q_SLOTS:
    // The TUN device's descriptor, the protector (where the caller's relay sockets get their
    // mark) and the device's name; `relays` are the numeric addresses of the relay.
    Q_SCRIPTABLE QDBusUnixFileDescriptor Up(const QStringList &relays, bool ipv6, uint mtu,
                                            QDBusUnixFileDescriptor &protector, QString &device);
    Q_SCRIPTABLE void Down();
    // Whether the mode is up, and for which uid on which device.
    Q_SCRIPTABLE bool Status(uint &uid, QString &device);

Q_SIGNALS:
    Q_SCRIPTABLE void Changed(bool active);

private:
    using Authorised = std::function<void(const QDBusMessage &call, uint uid)>;

    void authorise(Authorised then);
    void bringUp(const QDBusMessage &call, uint uid, const QList<QHostAddress> &relays, bool ipv6,
                 uint mtu);
    void bringDown(const QDBusMessage &call, uint uid);
    void refuse(const QDBusMessage &call, const QString &error, const QString &reason);

    QDBusConnection m_bus;
    PolkitAuthorizer m_authorizer;
    NetworkSetup m_setup;
    std::optional<uint> m_owner;
    std::unique_ptr<SocketMarker> m_marker;
};

} // namespace corvane::netd
