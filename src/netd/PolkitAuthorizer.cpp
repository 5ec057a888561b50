#include "PolkitAuthorizer.h"

#include "NetdConstants.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QMap>

#include <chrono>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace corvane::netd {

namespace {

// polkit may ask the person for a password first.
constexpr std::chrono::milliseconds kAnswerTimeout = 120s;
constexpr unsigned kAllowUserInteraction = 1;

QDBusArgument subjectOf(const QString &busName)
{
    QDBusArgument subject;
    subject.beginStructure();
    subject << u"system-bus-name"_s;
    subject.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QDBusVariant>());
    subject.beginMapEntry();
    subject << u"name"_s << QDBusVariant(busName);
    subject.endMapEntry();
    subject.endMap();
    subject.endStructure();
    return subject;
}

QDBusArgument noDetails()
{
    QDBusArgument details;
    details.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
    details.endMap();
    return details;
}

std::optional<QString> refusalOf(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage)
        return u"polkit did not answer ("_s + reply.errorMessage() + u")"_s;
    if (reply.signature() != u"(bba{ss})"_s)
        return u"polkit's answer was not understood"_s;
    const auto result = reply.arguments().constFirst().value<QDBusArgument>();
    bool authorized = false;
    bool challenge = false;
    QMap<QString, QString> details;
    result.beginStructure();
    result >> authorized >> challenge >> details;
    result.endStructure();
    if (authorized)
        return std::nullopt;
    return challenge ? u"polkit wants an administrator's authentication, which was not given"_s
                     : u"polkit does not allow the system-wide mode to this caller"_s;
}

} // namespace

PolkitAuthorizer::PolkitAuthorizer(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus)
{}

void PolkitAuthorizer::check(const QString &busName, Done done)
{
    auto call = QDBusMessage::createMethodCall(
        u"org.freedesktop.PolicyKit1"_s, u"/org/freedesktop/PolicyKit1/Authority"_s,
        u"org.freedesktop.PolicyKit1.Authority"_s, u"CheckAuthorization"_s);
    call << QVariant::fromValue(subjectOf(busName)) << kPolkitAction
         << QVariant::fromValue(noDetails()) << kAllowUserInteraction << QString();
    auto *watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(call, static_cast<int>(kAnswerTimeout.count())), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done)](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                done(refusalOf(finished->reply()));
            });
}

} // namespace corvane::netd
