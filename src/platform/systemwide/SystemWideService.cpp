#include "platform/systemwide/SystemWideService.h"

#include "platform/systemwide/NetdNames.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace corvane {

namespace {

// polkit may ask for an administrator's password before the service answers.
constexpr int kDownTimeoutMs = 5 * 60 * 1000;

bool meansAbsent(const QDBusError &error)
{
    const QDBusError::ErrorType type = error.type();
    // Spawn.*: the bus could not start the service's unit (not installed, or it failed at once).
    return type == QDBusError::ServiceUnknown || type == QDBusError::Disconnected ||
           type == QDBusError::NoServer ||
           error.name() == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           error.name().startsWith(QStringLiteral("org.freedesktop.DBus.Error.Spawn."));
}

SystemWideService::Outcome outcomeOf(const QDBusError &error)
{
    using Kind = SystemWideService::Outcome::Kind;
    if (!error.isValid())
        return {Kind::done, {}};
    const QString words = error.message().isEmpty() ? error.name() : error.message();
    return {meansAbsent(error) ? Kind::absent : Kind::refused, words};
}

} // namespace

void SystemWideService::down(QObject *context, std::function<void(const Outcome &)> done)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        const QDBusError error = bus.lastError();
        done({Outcome::Kind::absent,
              error.isValid() ? error.message() : QStringLiteral("no system bus")});
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kNetdServiceName, kNetdObjectPath,
                                                       kNetdInterface, QStringLiteral("Down"));
    call.setInteractiveAuthorizationAllowed(true);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kDownTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         done(outcomeOf(QDBusPendingReply<>(*watcher).error()));
                     });
}

} // namespace corvane
