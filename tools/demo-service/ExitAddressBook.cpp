#include "ExitAddressBook.h"

namespace corvane {

namespace {
constexpr int kHostsPerProvince = 254;
constexpr int kAnyProvinceOctet = 99;
constexpr int kFirstProvinceOctet = 100;
// What the lookup says of an address that belongs to no one province.
const auto kAnyPlace = QStringLiteral("CHINA");

QString addressOf(qint64 province, int host)
{
    const qint64 octet = province < 0 ? kAnyProvinceOctet : kFirstProvinceOctet + province;
    return QStringLiteral("127.%1.0.%2").arg(octet).arg(host);
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
    QHash<QString, qint64> &history = m_history[orderId];
    QList<int> hosts;
    hosts.reserve(kHostsPerProvince);
    for (int host = 1; host <= kHostsPerProvince; ++host) {
        const auto seen = history.constFind(addressOf(provinceIndex, host));
        if (!deduplicate || seen == history.constEnd() || now - *seen >= kDeduplicationSeconds)
            hosts.append(host);
    }
    if (hosts.isEmpty())
        return QStringLiteral("no fresh address left in this province");
    const QString ip =
        addressOf(provinceIndex, hosts.at(m_random.bounded(static_cast<int>(hosts.size()))));
    history.insert(ip, now);
    return ExitAddress{ip, placeOf(provinceIndex), provinceIndex};
}

std::optional<qint64> ExitAddressBook::provinceOf(const QString &ip) const
{
    const QStringList octets = ip.split(u'.');
    if (octets.size() != 4 || octets.at(0) != QLatin1String("127") ||
        octets.at(2) != QLatin1String("0"))
        return std::nullopt;
    const int host = octets.at(3).toInt();
    const int octet = octets.at(1).toInt();
    if (host < 1 || host > kHostsPerProvince)
        return std::nullopt;
    if (octet == kAnyProvinceOctet)
        return -1;
    if (octet < kFirstProvinceOctet || octet - kFirstProvinceOctet >= m_provinces.size())
        return std::nullopt;
    return octet - kFirstProvinceOctet;
}

QString ExitAddressBook::placeOf(qint64 province) const
{
    return province >= 0 && province < m_provinces.size() ? m_provinces.at(province) : kAnyPlace;
}

} // namespace corvane
