#include "ui/toolkit/TableView.h"

#include "ui/toolkit/TableViewCell.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <algorithm>

namespace corvane {

TableView::TableView(QWidget *parent) : QScrollArea(parent), m_canvas(new QWidget)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_canvas->setAutoFillBackground(true);
    QPalette palette = m_canvas->palette();
    palette.setColor(QPalette::Window, QColor(0xEF, 0xEF, 0xF4));
    m_canvas->setPalette(palette);
    setWidget(m_canvas);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TableView::layoutVisibleCells);
}

TableView::~TableView() = default;

quint64 TableView::key(const IndexPath &indexPath)
{
    return (static_cast<quint64>(static_cast<quint32>(indexPath.section)) << 32) |
           static_cast<quint32>(indexPath.row);
}

void TableView::setDataSource(TableViewDataSource *dataSource)
{
    m_dataSource = dataSource;
    reloadData();
}

void TableView::registerCell(const QString &reuseIdentifier, CellFactory factory)
{
    m_factories.insert(reuseIdentifier, std::move(factory));
}

TableViewCell *TableView::dequeueReusableCell(const QString &reuseIdentifier)
{
    QList<TableViewCell *> &pool = m_pool[reuseIdentifier];
    if (!pool.isEmpty()) {
        TableViewCell *cell = pool.takeLast();
        cell->prepareForReuse();
        return cell;
    }
    const auto factory = m_factories.constFind(reuseIdentifier);
    if (factory == m_factories.constEnd())
        return nullptr;
    TableViewCell *cell = (*factory)(reuseIdentifier);
    if (cell)
        cell->setParent(m_canvas);
    return cell;
}

void TableView::reloadData()
{
    for (TableViewCell *cell : std::as_const(m_visible))
        recycle(cell);
    m_visible.clear();
    m_selected.reset();
    m_rows.clear();
    int y = 0;
    const int sections = m_dataSource ? m_dataSource->numberOfSections(this) : 0;
    for (int section = 0; section < sections; ++section) {
        const int rows = m_dataSource->numberOfRows(this, section);
        for (int row = 0; row < rows; ++row) {
            const IndexPath indexPath{section, row};
            const int height = std::max(0, m_dataSource->heightForRow(this, indexPath));
            m_rows.push_back(Row{indexPath, y, height});
            y += height;
        }
        y += std::max(0, m_dataSource->heightForFooter(this, section));
    }
    m_canvas->resize(viewport()->width(), y);
    layoutVisibleCells();
}

int TableView::numberOfRows(int section) const
{
    return static_cast<int>(std::count_if(m_rows.begin(), m_rows.end(), [section](const Row &row) {
        return row.indexPath.section == section;
    }));
}

qsizetype TableView::rowIndex(const IndexPath &indexPath) const
{
    const auto found = std::find_if(m_rows.begin(), m_rows.end(),
                                    [&](const Row &row) { return row.indexPath == indexPath; });
    return found == m_rows.end() ? -1 : found - m_rows.begin();
}

TableViewCell *TableView::cellForRow(const IndexPath &indexPath) const
{
    return m_visible.value(key(indexPath));
}

QList<IndexPath> TableView::indexPathsForVisibleRows() const
{
    QList<IndexPath> paths;
    for (const Row &row : m_rows) {
        if (m_visible.contains(key(row.indexPath)))
            paths.append(row.indexPath);
    }
    return paths;
}

QRect TableView::rectForRow(const IndexPath &indexPath) const
{
    const qsizetype index = rowIndex(indexPath);
    if (index < 0)
        return {};
    const Row &row = m_rows.at(static_cast<size_t>(index));
    return QRect(0, row.y, m_canvas->width(), row.height);
}

void TableView::scrollToRow(const IndexPath &indexPath)
{
    const QRect rect = rectForRow(indexPath);
    if (!rect.isNull())
        ensureVisible(0, rect.center().y(), 0, rect.height() / 2);
}

void TableView::recycle(TableViewCell *cell)
{
    disconnect(cell, &TableViewCell::clicked, this, nullptr);
    cell->hide();
    cell->setSelected(false);
    m_pool[cell->reuseIdentifier()].append(cell);
}

void TableView::layoutVisibleCells()
{
    if (!m_dataSource)
        return;
    const int top = verticalScrollBar()->value();
    const int bottom = top + viewport()->height();
    QHash<quint64, TableViewCell *> kept;
    for (const Row &row : m_rows) {
        if (row.y >= bottom || row.y + row.height <= top || row.height == 0)
            continue;
        const quint64 rowKey = key(row.indexPath);
        if (TableViewCell *cell = m_visible.take(rowKey)) {
            kept.insert(rowKey, cell);
            cell->setGeometry(0, row.y, m_canvas->width(), row.height);
        }
    }
    // What left the view goes back to the pools before new rows ask for cells.
    for (TableViewCell *cell : std::as_const(m_visible))
        recycle(cell);
    m_visible = kept;
    for (const Row &row : m_rows) {
        if (row.y >= bottom || row.y + row.height <= top || row.height == 0)
            continue;
        const quint64 rowKey = key(row.indexPath);
        if (m_visible.contains(rowKey))
            continue;
        TableViewCell *cell = m_dataSource->cellForRow(this, row.indexPath);
        if (!cell)
            continue;
        if (cell->parentWidget() != m_canvas)
            cell->setParent(m_canvas);
        for (QList<TableViewCell *> &pool : m_pool)
            pool.removeAll(cell);
        cell->setGeometry(0, row.y, m_canvas->width(), row.height);
        cell->setSelected(m_selected == row.indexPath);
        const IndexPath indexPath = row.indexPath;
        connect(cell, &TableViewCell::clicked, this,
                [this, indexPath] { userSelected(indexPath); });
        cell->show();
        m_visible.insert(rowKey, cell);
    }
}

void TableView::selectRow(const IndexPath &indexPath)
{
    if (rowIndex(indexPath) < 0)
        return;
    if (m_selected) {
        if (TableViewCell *cell = cellForRow(*m_selected))
            cell->setSelected(false);
    }
    m_selected = indexPath;
    if (TableViewCell *cell = cellForRow(indexPath))
        cell->setSelected(true);
}

void TableView::deselectRow(const IndexPath &indexPath)
{
    if (m_selected != indexPath)
        return;
    m_selected.reset();
    if (TableViewCell *cell = cellForRow(indexPath))
        cell->setSelected(false);
}

void TableView::userSelected(const IndexPath &indexPath)
{
    selectRow(indexPath);
    if (m_dataSource)
        m_dataSource->didSelectRow(this, indexPath);
}

void TableView::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    m_canvas->resize(viewport()->width(), m_canvas->height());
    layoutVisibleCells();
}

void TableView::keyPressEvent(QKeyEvent *event)
{
    if (m_rows.empty()) {
        QScrollArea::keyPressEvent(event);
        return;
    }
    const qsizetype current = m_selected ? rowIndex(*m_selected) : -1;
    const auto last = static_cast<qsizetype>(m_rows.size()) - 1;
    switch (event->key()) {
    case Qt::Key_Down:
    case Qt::Key_Up: {
        const qsizetype next = event->key() == Qt::Key_Down ? std::min(current + 1, last)
                                                            : std::max<qsizetype>(current - 1, 0);
        selectRow(m_rows.at(static_cast<size_t>(next)).indexPath);
        scrollToRow(m_rows.at(static_cast<size_t>(next)).indexPath);
        return;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_selected)
            userSelected(*m_selected);
        return;
    default:
        QScrollArea::keyPressEvent(event);
    }
}

} // namespace corvane
