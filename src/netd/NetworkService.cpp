#include "NetworkService.h"

#include "NetdConstants.h"

#include <QDBusConnectionInterface>
#include <QDBusError>

#include <sys/socket.h>

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace corvane::netd {

namespace {

const QString kFailed = u"com.corvane.Corvane.Network1.Error.Failed"_s;
const QString kAccessDenied = u"org.freedesktop.DBus.Error.AccessDenied"_s;
const QString kInvalidArgs = u"org.freedesktop.DBus.Error.InvalidArgs"_s;
constexpr qsizetype kMostRelays = 16;

// Plain numeric addresses of a reachable host only: no names, no scopes, nothing to resolve.
std::optional<QList<QHostAddress>> relaysOf(const QStringList &texts)
{
    if (texts.size() > kMostRelays)
        return std::nullopt;
    QList<QHostAddress> relays;
    for (const QString &text : texts) {
        const QHostAddress address(text);
        const bool v4 = address.protocol() == QAbstractSocket::IPv4Protocol;
        if ((!v4 && address.protocol() != QAbstractSocket::IPv6Protocol) ||
            (v4 && address.toString() != text) || !address.scopeId().isEmpty() ||
            address.isMulticast() || address.isBroadcast() ||
            address.isEqual(QHostAddress::AnyIPv4) || address.isEqual(QHostAddress::AnyIPv6))
            return std::nullopt;
        relays.append(address);
    }
    return relays;
}

} // namespace

NetworkService::NetworkService(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus), m_authorizer(bus)
{
    if (const auto error = m_setup.cleanAll())
        qWarning("Clean-up at start: %s", qPrintable(*error));
}

NetworkService::~NetworkService()
{
    if (const auto error = m_setup.cleanAll())
        qWarning("Clean-up at stop: %s", qPrintable(*error));
}

QDBusUnixFileDescriptor NetworkService::Up(const QStringList &relays, bool ipv6, uint mtu,
                                           QDBusUnixFileDescriptor &, QString &)
{
    const auto parsed = relaysOf(relays);
    if (!parsed || mtu < kMinMtu || mtu > kMaxMtu) {
        sendErrorReply(kInvalidArgs,
                       u"up to 16 numeric relay addresses and an MTU of 1280 to 65535"_s);
        return {};
    }
    authorise([this, relays = *parsed, ipv6, mtu](const QDBusMessage &call, uint uid) {
        bringUp(call, uid, relays, ipv6, mtu);
    });
    return {};
}

void NetworkService::Down()
{
    authorise([this](const QDBusMessage &call, uint uid) { bringDown(call, uid); });
}

bool NetworkService::Status(uint &, QString &)
{
    authorise([this](const QDBusMessage &call, uint) {
        m_bus.send(call.createReply({m_owner.has_value(), m_owner.value_or(0),
                                     m_owner ? QString::fromLatin1(kDeviceName) : QString()}));
    });
    return false;
}

void NetworkService::authorise(Authorised then)
{
    setDelayedReply(true);
    const QDBusMessage call = message();
    const QDBusReply<uint> uid = connection().interface()->serviceUid(call.service());
    if (!uid.isValid()) {
        refuse(call, kAccessDenied, u"the caller's uid is unknown"_s);
        return;
    }
    m_authorizer.check(call.service(), [this, call, uid = uid.value(),
                                        then = std::move(then)](std::optional<QString> refusal) {
        if (refusal)
            refuse(call, kAccessDenied, *refusal);
        else
            then(call, uid);
    });
}

void NetworkService::bringUp(const QDBusMessage &call, uint uid, const QList<QHostAddress> &relays,
                             bool ipv6, uint mtu)
{
    if (m_owner && *m_owner != uid) {
        refuse(call, kAccessDenied, u"the system-wide mode is up for another user"_s);
        return;
    }
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        refuse(call, kFailed, u"no socket pair: "_s + QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    UniqueFd ours(pair[0]);
    const UniqueFd theirs(pair[1]);
    m_marker.reset();
    auto result = m_setup.up(relays, ipv6, mtu);
    if (const auto *error = std::get_if<QString>(&result)) {
        const bool wasActive = m_owner.has_value();
        m_owner.reset();
        refuse(call, kFailed, *error);
        if (wasActive)
            Q_EMIT Changed(false);
        return;
    }
    const bool wasActive = m_owner.has_value();
    m_owner = uid;
    m_marker = std::make_unique<SocketMarker>(std::move(ours));
    const UniqueFd tun = std::move(std::get<UniqueFd>(result));
    qInfo("The system-wide mode is up for uid %u on %s", uid, kDeviceName);
    if (!wasActive)
        Q_EMIT Changed(true);
    m_bus.send(call.createReply({QVariant::fromValue(QDBusUnixFileDescriptor(tun.get())),
                                 QVariant::fromValue(QDBusUnixFileDescriptor(theirs.get())),
                                 QString::fromLatin1(kDeviceName)}));
}

void NetworkService::bringDown(const QDBusMessage &call, uint uid)
{
    if (m_owner && *m_owner != uid && uid != 0) {
        refuse(call, kAccessDenied, u"the system-wide mode was brought up by another user"_s);
        return;
    }
    m_marker.reset();
    const bool wasActive = m_owner.has_value();
    m_owner.reset();
    const auto error = m_setup.cleanAll();
    qInfo("The system-wide mode is down (asked by uid %u)", uid);
    if (wasActive)
        Q_EMIT Changed(false);
    if (error)
        refuse(call, kFailed, *error);
    else
        m_bus.send(call.createReply());
}

void NetworkService::refuse(const QDBusMessage &call, const QString &error, const QString &reason)
{
    qWarning("Refused %s: %s", qPrintable(call.member()), qPrintable(reason));
    m_bus.send(call.createErrorReply(error, reason));
}

} // namespace corvane::netd
