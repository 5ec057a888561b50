#include "platform/desktopnotifier/FreedesktopNotifier.h"

#include "platform/log/Log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace corvane {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// Let the notification server choose how long a notice stays.
constexpr int kServerDefaultTimeout = -1;
} // namespace

FreedesktopNotifier::FreedesktopNotifier(QString appName, QString icon, QString desktopEntry,
                                         std::optional<QDBusConnection> bus)
    : m_appName(std::move(appName)), m_icon(std::move(icon)),
      m_desktopEntry(std::move(desktopEntry)), m_bus(std::move(bus)),
      m_calls(std::make_unique<QObject>())
{}

FreedesktopNotifier::~FreedesktopNotifier() = default;

void FreedesktopNotifier::show(const Notice &notice)
{
    if (!m_bus)
        m_bus = QDBusConnection::sessionBus();
    if (!m_bus->isConnected())
        return;
    if (const auto waiting = m_waiting.find(notice.tag); waiting != m_waiting.end()) {
        *waiting = notice;
        return;
    }
    send(notice);
}

void FreedesktopNotifier::send(const Notice &notice)
{
    m_waiting.insert(notice.tag, std::nullopt);
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), m_desktopEntry}};
    call << m_appName << m_shown.value(notice.tag) << m_icon << notice.title << notice.body
         << QStringList() << hints << kServerDefaultTimeout;
    auto *watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call), m_calls.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, m_calls.get(),
                     [this, watcher, tag = notice.tag] {
                         watcher->deleteLater();
                         const QDBusPendingReply<uint> reply = *watcher;
                         if (reply.isError())
                             Log::warning(QStringLiteral("通知未能显示：") +
                                          reply.error().message());
                         else
                             m_shown.insert(tag, reply.value());
                         if (const std::optional<Notice> next = m_waiting.take(tag))
                             send(*next);
                     });
}

} // namespace corvane
