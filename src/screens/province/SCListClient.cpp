#include "screens/province/SCListClient.h"

#include "core/province/ProvinceFile.h"
#include "screens/province/SCCityCell.h"
#include "ui/toolkit/TableView.h"

#include <QLabel>
#include <QPushButton>

namespace corvane {

namespace {
const QString kRandomProvince = QStringLiteral("随机省份");
} // namespace

SCListClient::~SCListClient() = default;

void SCListClient::loadProvinces()
{
    if (std::optional<QStringList> names = ProvinceFile::load())
        data = std::move(*names);
    // A mark beyond the list (the opener's choice from a longer list) falls back to random.
    if (selectedIndex >= data.size())
        selectedIndex = -1;
    deliverSuccess(data);
}

int SCListClient::numberOfSections(TableView *) const
{
    return 2;
}

int SCListClient::numberOfRows(TableView *, int section) const
{
    return section == 0 ? 1 : static_cast<int>(data.size());
}

TableViewCell *SCListClient::cellForRow(TableView *table, const IndexPath &indexPath)
{
    auto *cell = qobject_cast<SCCityCell *>(table->dequeueReusableCell(kCellIdentifier));
    if (!cell)
        return nullptr;
    const bool random = indexPath.section == 0;
    const QString name = random ? kRandomProvince : data.value(indexPath.row);
    const bool chosen = random ? selectedIndex == -1 : indexPath.row == selectedIndex;
    if (cell->textLbl)
        cell->textLbl->setText(name);
    if (cell->checkBtn)
        cell->checkBtn->setEnabled(!chosen);
    cell->describe(name, chosen);
    return cell;
}

int SCListClient::heightForRow(TableView *, const IndexPath &) const
{
    return kRowHeight;
}

int SCListClient::heightForFooter(TableView *, int section) const
{
    return section == 0 ? kRandomFooterHeight : 0;
}

void SCListClient::didSelectRow(TableView *table, const IndexPath &indexPath)
{
    selectedIndex = indexPath.section == 0 ? -1 : indexPath.row;
    table->reloadData();
    // The keyboard carries on from the row it picked.
    table->selectRow(indexPath);
}

} // namespace corvane
