#pragma once

#include <QHash>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <variant>

namespace corvane {

// The exit addresses the demo service hands out: one /24 of the benchmarking range
// 198.18.0.0/15 per province (198.18.<provinceIndex>.1-254), with each order's recent addresses
// remembered so a 24-hour de-duplication can keep them from coming back.
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

    // An address in province `provinceIndex` (any province for -1) for `orderId` at time `now`;
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
