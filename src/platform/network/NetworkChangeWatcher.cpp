#include "platform/network/NetworkChangeWatcher.h"

#include "platform/scheduling/Scheduler.h"

#include <QDBusConnection>
#include <array>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane {

namespace {

// Only what moves the tunnel's own traffic counts: a main-table default route, or any address.
// `message` holds the whole message, header first.
bool matters(const nlmsghdr &header, const char *message)
{
    switch (header.nlmsg_type) {
    case RTM_NEWADDR:
    case RTM_DELADDR:
        return true;
    case RTM_NEWROUTE:
    case RTM_DELROUTE: {
        if (header.nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg)))
            return false;
        rtmsg route;
        std::memcpy(&route, message + NLMSG_HDRLEN, sizeof route);
        return route.rtm_table == RT_TABLE_MAIN && route.rtm_dst_len == 0;
    }
    default:
        return false;
    }
}

} // namespace

NetworkChangeWatcher::NetworkChangeWatcher(QObject *parent) : QObject(parent)
{
    m_fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups =
        RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) == 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this,
                &NetworkChangeWatcher::readNotifications);
    }
    QDBusConnection::systemBus().connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(sleepChanged(bool)));
}

NetworkChangeWatcher::~NetworkChangeWatcher()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void NetworkChangeWatcher::sleepChanged(bool goingToSleep)
{
    if (!goingToSleep)
        changeSeen();
}

void NetworkChangeWatcher::readNotifications()
{
    std::array<char, 16384> buffer;
    bool seen = false;
    for (;;) {
        const ssize_t got = ::recv(m_fd, buffer.data(), buffer.size(), 0);
        if (got < 0) {
            // Notifications lost to a full buffer (ENOBUFS) may have held a change.
            seen = seen || errno == ENOBUFS;
            if (errno == EINTR || errno == ENOBUFS)
                continue;
            break;
        }
        if (got == 0)
            break;
        // Walked by hand: the kernel's NLMSG_* macros cast in C style.
        for (std::size_t at = 0; at + sizeof(nlmsghdr) <= static_cast<std::size_t>(got);) {
            nlmsghdr header;
            std::memcpy(&header, buffer.data() + at, sizeof header);
            if (header.nlmsg_len < sizeof header ||
                at + header.nlmsg_len > static_cast<std::size_t>(got))
                break;
            seen = seen || matters(header, buffer.data() + at);
            at += NLMSG_ALIGN(header.nlmsg_len);
        }
    }
    if (seen)
        changeSeen();
}

void NetworkChangeWatcher::changeSeen()
{
    if (std::exchange(m_pending, true))
        return;
    delay(kSettle, this, [this] {
        m_pending = false;
        Q_EMIT changed();
    });
}

} // namespace corvane
