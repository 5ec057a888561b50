#pragma once

#include "core/network/SCBaseClient.h"

#include <QStringList>
#include <memory>

namespace corvane {

class ProvinceListModel;
class SCCityCell;

// A row's place in the list: section 0 holds the any-province row, section 1 the names.
struct IndexPath
{
    int section = 0;
    int row = 0;

    friend bool operator==(const IndexPath &, const IndexPath &) = default;
};

// The province list's data: the names of the "city" resource and which row carries the mark.
// It answers the list's questions (sections, rows, a filled cell, heights, a picked row), and
// its model() puts those answers before a Qt list view.
class SCListClient final : public SCBaseClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCListClient)

public:
    static constexpr int kRowHeight = 50;
    static constexpr int kRandomFooterHeight = 20;

    explicit SCListClient(QObject &screen);
    ~SCListClient() override;

    // Fills `data` from the resource (leaving it as it was when the resource is unusable) and
    // reports the whole list through successBlock.
    void loadProvinces();

    QStringList data;
    // -1: any province; otherwise a position in `data`.
    qsizetype selectedIndex = -1;

    int numberOfSections() const;
    int numberOfRows(int section) const;
    QString titleForRow(const IndexPath &indexPath) const;
    // The row that carries the mark.
    bool isChosen(const IndexPath &indexPath) const;
    // The one cell of the list's layout "SCCityCell", filled for the row: its name, and a
    // check button disabled on the chosen row only.
    SCCityCell &cellForRow(const IndexPath &indexPath);
    int heightForRow() const;
    int heightForFooter(int section) const;
    // Moves the mark to the row, and the list shows it.
    void didSelectRow(const IndexPath &indexPath);

    // The rows, one section after the other, for a list view.
    ProvinceListModel &model();

private:
    std::unique_ptr<SCCityCell> m_cell;
    ProvinceListModel *m_model = nullptr;
};

} // namespace corvane
