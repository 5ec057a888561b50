#pragma once

#include "DemoAccounts.h"
#include "ExitAddressBook.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <functional>
#include <optional>

namespace corvane {

// What the demo service answers, without the HTTP and the relay around it: the sign-in (the
// order query), the relay's check of a tunnel's signed authentication string, and the
// public-address lookup, which tells a peer its own address and that address's province.
// Replies use the service's envelope {"code", "message", "result"}; code 0 is success.
class DemoService final
{
public:
    // Seconds since 1970, the clock signed strings are checked against.
    using Clock = std::function<qint64()>;

    static constexpr qint64 kTimeTolerance = 5 * 60;

    explicit DemoService(Clock clock = {}, quint32 seed = QRandomGenerator::global()->generate());

    const QList<DemoAccount> &accounts() const { return m_accounts; }

    // The body {"mobile": …, "password": <DES hex>} of "/vpnApp/personal/queryOrder".
    QJsonObject signIn(const QByteArray &body) const;
    // The authentication string a tunnel carries: accepted with the exit address it gets, or
    // refused with the reason.
    QJsonObject openTunnel(const QByteArray &authString);
    // `var returnCitySN = {"cip": …, "cid": …, "cname": …};` for a request from `peer`.
    QByteArray lookupAnswer(const QString &peer) const;

private:
    std::optional<QString> secretOf(const QString &orderId) const;
    void forgetOldUids(qint64 now);

    Clock m_clock;
    QList<DemoAccount> m_accounts;
    ExitAddressBook m_addresses;
    // Per order: uid -> when it was first used.
    QHash<QString, QHash<QString, qint64>> m_uids;
};

} // namespace corvane
