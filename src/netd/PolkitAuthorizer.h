#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace corvane::netd {

// Asks polkit, on the bus the service is on, whether a caller (by its unique bus name) may use
// the system-wide mode. This is the seam the tests stand in front of: whatever owns
// org.freedesktop.PolicyKit1 on that bus answers. Anything but a clear yes is a refusal, so a
// bus without polkit, an error or a malformed answer refuses.
class PolkitAuthorizer final : public QObject
{
    Q_OBJECT

public:
    // Nothing when allowed, else why not; called exactly once, on the main thread.
    using Done = std::function<void(std::optional<QString> refusal)>;

    explicit PolkitAuthorizer(const QDBusConnection &bus, QObject *parent = nullptr);

    void check(const QString &busName, Done done);

private:
    QDBusConnection m_bus;
};

} // namespace corvane::netd
