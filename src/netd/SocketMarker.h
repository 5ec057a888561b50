#pragma once

#include "UniqueFd.h"

#include <QObject>

class QSocketNotifier;

namespace corvane::netd {

// The service's end of the protector, the socket pair `Up` hands to its caller: each message
// carries one of the caller's IPv4 or IPv6 sockets (SCM_RIGHTS), which gets the mark that lets
// it leave by the main table, and is answered with one byte, 0 or the errno. The socket is
// marked and closed here, never read, connected or written. When the caller closes its end,
// this one stops.
class SocketMarker final : public QObject
{
    Q_OBJECT

public:
    explicit SocketMarker(UniqueFd end, QObject *parent = nullptr);

private:
    void serve();

    UniqueFd m_end;
    QSocketNotifier *m_notifier;
};

} // namespace corvane::netd
