#pragma once

#include "screens/province/SCListClient.h"

#include <QAbstractListModel>

namespace corvane {

// The province list's rows for a Qt list view, as its client answers for them: the any-province
// row, then the names. A row speaks its name and whether it carries the mark, and is as high as its
// row and the footer of its section together.
class ProvinceListModel final : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProvinceListModel)

public:
    explicit ProvinceListModel(SCListClient &client, QObject *parent = nullptr);
    ~ProvinceListModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    QModelIndex indexFor(const IndexPath &indexPath) const;
    IndexPath indexPathOf(const QModelIndex &index) const;
    // Whether the row ends its section, so the section's footer follows it.
    bool endsSection(const QModelIndex &index) const;

    // The client's answers have changed: the names, the mark or both.
    void reload();

private:
    SCListClient &m_client;
    int m_rows = 0;
};

} // namespace corvane
