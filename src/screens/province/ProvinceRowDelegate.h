#pragma once

#include <QStyledItemDelegate>

namespace corvane {

class SCListClient;

// Paints each row of the province list from its client's filled SCCityCell, over the view's
// own selection and focus; the footer of a section stays empty below its last row.
class ProvinceRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProvinceRowDelegate)

public:
    ProvinceRowDelegate(SCListClient &client, QObject *parent = nullptr);
    ~ProvinceRowDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    SCListClient &m_client;
};

} // namespace corvane
