#pragma once

#include "core/network/SCBaseClient.h"
#include "ui/toolkit/TableViewDataSource.h"

#include <QStringList>

namespace corvane {

// The province list's data: the names of the "city" resource and which row carries the mark.
// It answers the table: a "随机省份" row, then one row per name.
class SCListClient final : public SCBaseClient, public TableViewDataSource
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCListClient)

public:
    static constexpr int kRowHeight = 50;
    static constexpr int kRandomFooterHeight = 20;
    static inline const QString kCellIdentifier = QStringLiteral("cell");

    using SCBaseClient::SCBaseClient;
    ~SCListClient() override;

    // Fills `data` from the resource (leaving it as it was when the resource is unusable) and
    // reports the whole list through successBlock.
    void loadProvinces();

    QStringList data;
    // -1: "随机省份"; otherwise a position in `data`.
    qsizetype selectedIndex = -1;

    int numberOfSections(TableView *table) const override;
    int numberOfRows(TableView *table, int section) const override;
    TableViewCell *cellForRow(TableView *table, const IndexPath &indexPath) override;
    int heightForRow(TableView *table, const IndexPath &indexPath) const override;
    int heightForFooter(TableView *table, int section) const override;
    void didSelectRow(TableView *table, const IndexPath &indexPath) override;
};

} // namespace corvane
