#include "screens/province/SCListClient.h"

#include "core/home/ChoiceTexts.h"
#include "core/province/ProvinceFile.h"
#include "screens/province/ProvinceListModel.h"
#include "screens/province/SCCityCell.h"

#include <QLabel>
#include <QPushButton>

namespace corvane {

namespace {} // namespace

SCListClient::SCListClient(QObject &screen) : SCBaseClient(screen) {}

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

int SCListClient::numberOfSections() const
{
    return 2;
}

int SCListClient::numberOfRows(int section) const
{
    return section == 0 ? 1 : static_cast<int>(data.size());
}

QString SCListClient::titleForRow(const IndexPath &indexPath) const
{
    return indexPath.section == 0 ? ChoiceTexts::anyProvince() : data.value(indexPath.row);
}

bool SCListClient::isChosen(const IndexPath &indexPath) const
{
    return indexPath.section == 0 ? selectedIndex == -1 : indexPath.row == selectedIndex;
}

SCCityCell &SCListClient::cellForRow(const IndexPath &indexPath)
{
    if (!m_cell)
        m_cell = std::make_unique<SCCityCell>();
    if (m_cell->textLbl)
        m_cell->textLbl->setText(titleForRow(indexPath));
    if (m_cell->checkBtn)
        m_cell->checkBtn->setEnabled(!isChosen(indexPath));
    return *m_cell;
}

int SCListClient::heightForRow() const
{
    return kRowHeight;
}

int SCListClient::heightForFooter(int section) const
{
    return section == 0 ? kRandomFooterHeight : 0;
}

void SCListClient::didSelectRow(const IndexPath &indexPath)
{
    selectedIndex = indexPath.section == 0 ? -1 : indexPath.row;
    model().reload();
}

ProvinceListModel &SCListClient::model()
{
    if (!m_model)
        m_model = new ProvinceListModel(*this, this);
    return *m_model;
}

} // namespace corvane
