#include "screens/province/ProvinceRowDelegate.h"

#include "screens/province/ProvinceListModel.h"
#include "screens/province/SCCityCell.h"

#include <QApplication>
#include <QLayout>
#include <QPainter>

namespace corvane {

ProvinceRowDelegate::ProvinceRowDelegate(SCListClient &client, QObject *parent)
    : QStyledItemDelegate(parent), m_client(client)
{}

ProvinceRowDelegate::~ProvinceRowDelegate() = default;

void ProvinceRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    QStyleOptionViewItem row = option;
    initStyleOption(&row, index);
    row.rect.setHeight(m_client.heightForRow());
    // The style draws the row's background, selection and focus; the cell draws the rest.
    row.text.clear();
    const QWidget *view = option.widget;
    QStyle *style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &row, painter, view);

    SCCityCell &cell = m_client.cellForRow(m_client.model().indexPathOf(index));
    cell.resize(row.rect.size());
    if (cell.layout())
        cell.layout()->activate();
    painter->save();
    painter->translate(row.rect.topLeft());
    cell.render(painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter->restore();
}

} // namespace corvane
