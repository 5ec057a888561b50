#pragma once

#include <QHash>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace corvane {

// The exit addresses the demo service hands out, real ones of this machine: Linux routes all of
// 127.0.0.0/8 to loopback, so the relay can connect from any of them and a destination here
// sees it. 127.<100 + provinceIndex>.0.1-254 for province `provinceIndex`, 127.99.0.1-254 for any
// province; each order's recent addresses are remembered so a 24-hour de-duplication can keep them
// from coming back.
class ExitAddressBook final
{
public:
    static constexpr qint64 kDeduplicationSeconds = 24 * 60 * 60;

    struct ExitAddress
    {
        QString ip;
        QString place;
        qint64 province = 0;
    };

    explicit ExitAddressBook(QStringList provinces,
                             quint32 seed = QRandomGenerator::global()->generate());

    // The province an exit address belongs to: its provinceIndex, -1 for one of any province, none
    // for an address this book never hands out.
    std::optional<qint64> provinceOf(const QString &ip) const;
    QString placeOf(qint64 province) const;

    // An address of province `provinceIndex` (of any province for -1) for `orderId` at time `now`;
    // with `deduplicate` none that order had in the 24 hours before. The reason when there is none.
    std::variant<ExitAddress, QString> grant(const QString &orderId, qint64 provinceIndex,
                                             bool deduplicate, qint64 now);

private:
    QStringList m_provinces;
    QRandomGenerator m_random;
    // Per order: address -> when it was last handed out.
    QHash<QString, QHash<QString, qint64>> m_history;
};

} // namespace corvane
