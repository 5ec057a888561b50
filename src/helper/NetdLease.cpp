#include "NetdLease.h"

#include "platform/log/Log.h"
#include "platform/systemwide/NetdNames.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include <chrono>
#include <fcntl.h>
#include <unistd.h>

namespace corvane {

namespace {

// polkit may ask the person for a password before the service answers.
constexpr std::chrono::minutes kUpPatience(5);
constexpr std::chrono::seconds kDownPatience(10);
// The device carries IP packets whole, so a large MTU costs nothing and spares fragments.
constexpr uint kMtu = 65535;

QString wordsFor(const QDBusError &error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
        return QStringLiteral("corvane-netd is not installed");
    case QDBusError::Disconnected:
        return QStringLiteral("there is no system bus");
    case QDBusError::NoReply:
    case QDBusError::Timeout:
        return QStringLiteral("corvane-netd did not answer");
    default:
        return error.message().isEmpty() ? error.name() : error.message();
    }
}

// A descriptor of our own that outlives the reply's copy.
int keep(const QDBusUnixFileDescriptor &descriptor)
{
    return descriptor.isValid() ? ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 3) : -1;
}

} // namespace

void NetdLease::bringUp(const QStringList &relays, bool ipv6, std::function<void(Answer)> done)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        done(QStringLiteral("there is no system bus"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kNetdServiceName, kNetdObjectPath,
                                                       kNetdInterface, QStringLiteral("Up"));
    call << relays << ipv6 << kMtu;
    const int patience = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(kUpPatience).count());
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, patience), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusUnixFileDescriptor, QDBusUnixFileDescriptor, QString> reply =
            *watcher;
        if (reply.isError()) {
            done(wordsFor(reply.error()));
            return;
        }
        Device device{keep(reply.argumentAt<0>()), keep(reply.argumentAt<1>())};
        if (device.tun < 0 || device.protector < 0) {
            for (int fd : {device.tun, device.protector})
                if (fd >= 0)
                    ::close(fd);
            done(QStringLiteral("corvane-netd gave no device"));
            return;
        }
        done(device);
    });
}

void NetdLease::bringDown()
{
    const QDBusMessage call = QDBusMessage::createMethodCall(
        kNetdServiceName, kNetdObjectPath, kNetdInterface, QStringLiteral("Down"));
    const int patience = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(kDownPatience).count());
    const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, patience);
    if (reply.type() == QDBusMessage::ErrorMessage)
        Log::warning(QStringLiteral("Cannot give the machine's networking back: ") +
                     reply.errorMessage());
}

} // namespace corvane
