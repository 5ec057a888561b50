#pragma once

namespace corvane {

class TableView;
class TableViewCell;

// A row's place in a table.
struct IndexPath
{
    int section = 0;
    int row = 0;

    friend bool operator==(const IndexPath &, const IndexPath &) = default;
};

// What a table asks of its owner: the shape of the data, a cell per visible row, the heights,
// and what to do when the user picks a row.
class TableViewDataSource
{
public:
    virtual ~TableViewDataSource() = default;

    virtual int numberOfSections(TableView *table) const;
    virtual int numberOfRows(TableView *table, int section) const = 0;
    // Usually a cell from TableView::dequeueReusableCell, filled for this row.
    virtual TableViewCell *cellForRow(TableView *table, const IndexPath &indexPath) = 0;
    virtual int heightForRow(TableView *table, const IndexPath &indexPath) const;
    virtual int heightForFooter(TableView *table, int section) const;
    virtual void didSelectRow(TableView *table, const IndexPath &indexPath);
};

} // namespace corvane
