#pragma once

#include "platform/desktopnotifier/DesktopNotifier.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <memory>
#include <optional>

namespace corvane {

// Notices through the freedesktop notification service (org.freedesktop.Notifications) on the
// session bus. Without the service nothing is shown and nothing fails.
class FreedesktopNotifier final : public DesktopNotifier
{
public:
    // `appName` and `icon` name the application to the notification service; `desktopEntry`
    // lets it find the application's settings and icon. Without `bus`, the session bus,
    // reached at the first notice: connecting costs a launch more than its first frame.
    FreedesktopNotifier(QString appName, QString icon, QString desktopEntry,
                        std::optional<QDBusConnection> bus = std::nullopt);
    ~FreedesktopNotifier() override;
    Q_DISABLE_COPY_MOVE(FreedesktopNotifier)

    void show(const Notice &notice) override;

private:
    void send(const Notice &notice);

    QString m_appName;
    QString m_icon;
    QString m_desktopEntry;
    std::optional<QDBusConnection> m_bus;
    // The service's number for the last notice of each tag, so the next one replaces it.
    QHash<QString, uint> m_shown;
    // Until the service has numbered a tag's notice, the next one of that tag waits here (the
    // newest only): sent earlier, it would show beside the first instead of replacing it.
    QHash<QString, std::optional<Notice>> m_waiting;
    std::unique_ptr<QObject> m_calls;
};

} // namespace corvane
