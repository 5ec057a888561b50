#include "ExitAddressBook.h"

namespace corvane {

namespace {
constexpr int kHostsPerProvince = 254;

QString addressOf(qint64 province, int host)
{
    return QStringLiteral("198.18.%1.%2").arg(province).arg(host);
}
} // namespace

ExitAddressBook::ExitAddressBook(QStringList provinces, quint32 seed)
    : m_provinces(std::move(provinces)), m_random(seed)
{}

std::variant<ExitAddressBook::ExitAddress, QString>
ExitAddressBook::grant(const QString &orderId, qint64 provinceIndex, bool deduplicate, qint64 now)
{
    if (m_provinces.isEmpty())
        return QStringLiteral("no province to hand out addresses from");
    if (provinceIndex >= m_provinces.size() || provinceIndex < -1)
        return QStringLiteral("province not exist");
    const qint64 province =
        provinceIndex >= 0 ? provinceIndex : m_random.bounded(static_cast<int>(m_provinces.size()));
    QHash<QString, qint64> &history = m_history[orderId];
    QList<int> hosts;
    hosts.reserve(kHostsPerProvince);
    for (int host = 1; host <= kHostsPerProvince; ++host) {
        const auto seen = history.constFind(addressOf(province, host));
        if (!deduplicate || seen == history.constEnd() || now - *seen >= kDeduplicationSeconds)
            hosts.append(host);
    }
    if (hosts.isEmpty())
        return QStringLiteral("no fresh address left in this province");
    const QString ip =
        addressOf(province, hosts.at(m_random.bounded(static_cast<int>(hosts.size()))));
    history.insert(ip, now);
    return ExitAddress{ip, m_provinces.at(province), province};
}

} // namespace corvane
