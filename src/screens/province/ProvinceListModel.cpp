#include "screens/province/ProvinceListModel.h"

#include <QSize>

namespace corvane {

ProvinceListModel::ProvinceListModel(SCListClient &client, QObject *parent)
    : QAbstractListModel(parent), m_client(client)
{
    reload();
}

ProvinceListModel::~ProvinceListModel() = default;

int ProvinceListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant ProvinceListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const IndexPath path = indexPathOf(index);
    switch (role) {
    case Qt::DisplayRole:
        return m_client.titleForRow(path);
    case Qt::AccessibleTextRole:
        return QString(
            m_client.titleForRow(path) + QStringLiteral("，") +
            (m_client.isChosen(path) ? QStringLiteral("已选中") : QStringLiteral("未选中")));
    case Qt::SizeHintRole:
        return QSize(0, m_client.heightForRow() +
                            (endsSection(index) ? m_client.heightForFooter(path.section) : 0));
    default:
        return {};
    }
}

QModelIndex ProvinceListModel::indexFor(const IndexPath &indexPath) const
{
    int row = indexPath.row;
    for (int section = 0; section < indexPath.section; ++section)
        row += m_client.numberOfRows(section);
    return index(row);
}

IndexPath ProvinceListModel::indexPathOf(const QModelIndex &index) const
{
    IndexPath path{0, index.row()};
    while (path.section < m_client.numberOfSections() - 1 &&
           path.row >= m_client.numberOfRows(path.section)) {
        path.row -= m_client.numberOfRows(path.section);
        ++path.section;
    }
    return path;
}

bool ProvinceListModel::endsSection(const QModelIndex &index) const
{
    const IndexPath path = indexPathOf(index);
    return path.row == m_client.numberOfRows(path.section) - 1;
}

void ProvinceListModel::reload()
{
    int rows = 0;
    for (int section = 0; section < m_client.numberOfSections(); ++section)
        rows += m_client.numberOfRows(section);
    // The same rows keep the view's current row and selection; new ones start afresh.
    if (rows != m_rows) {
        beginResetModel();
        m_rows = rows;
        endResetModel();
    } else if (m_rows > 0) {
        Q_EMIT dataChanged(index(0), index(m_rows - 1));
    }
}

} // namespace corvane
