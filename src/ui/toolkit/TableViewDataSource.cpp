#include "ui/toolkit/TableViewDataSource.h"

#include "ui/toolkit/TableView.h"

namespace corvane {

int TableViewDataSource::numberOfSections(TableView *) const
{
    return 1;
}

int TableViewDataSource::heightForRow(TableView *table, const IndexPath &) const
{
    return table->rowHeight();
}

int TableViewDataSource::heightForFooter(TableView *, int) const
{
    return 0;
}

void TableViewDataSource::didSelectRow(TableView *, const IndexPath &) {}

} // namespace corvane
