#pragma once

#include "ui/toolkit/TableViewDataSource.h"

#include <QHash>
#include <QList>
#include <QScrollArea>
#include <functional>
#include <optional>
#include <vector>

namespace corvane {

class TableViewCell;

// A scrolling list of rows in sections, each section followed by a footer gap. Only the rows
// in sight have cells; a cell that scrolls away goes back to the pool of its reuse identifier.
// A click selects a row and tells the data source; Up, Down and Return do the same by key.
class TableView final : public QScrollArea
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TableView)

public:
    using CellFactory = std::function<TableViewCell *(const QString &reuseIdentifier)>;

    explicit TableView(QWidget *parent = nullptr);
    ~TableView() override;

    // Not owned; the data source must outlive the table or be reset first.
    void setDataSource(TableViewDataSource *dataSource);
    int rowHeight() const { return m_rowHeight; }
    void setRowHeight(int height) { m_rowHeight = height; }

    // How cells of this identifier are made when the pool has none.
    void registerCell(const QString &reuseIdentifier, CellFactory factory);
    // A pooled cell of this identifier, or a new one; null when the identifier is unknown.
    TableViewCell *dequeueReusableCell(const QString &reuseIdentifier);

    // Asks the data source again for everything; the selection is cleared.
    void reloadData();
    int numberOfRows(int section) const;
    TableViewCell *cellForRow(const IndexPath &indexPath) const;
    QList<IndexPath> indexPathsForVisibleRows() const;
    QRect rectForRow(const IndexPath &indexPath) const;
    void scrollToRow(const IndexPath &indexPath);

    std::optional<IndexPath> indexPathForSelectedRow() const { return m_selected; }
    void selectRow(const IndexPath &indexPath);
    void deselectRow(const IndexPath &indexPath);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Row
    {
        IndexPath indexPath;
        int y;
        int height;
    };

    void layoutVisibleCells();
    void recycle(TableViewCell *cell);
    void userSelected(const IndexPath &indexPath);
    qsizetype rowIndex(const IndexPath &indexPath) const;
    static quint64 key(const IndexPath &indexPath);

    TableViewDataSource *m_dataSource = nullptr;
    QWidget *m_canvas;
    int m_rowHeight = 44;
    std::vector<Row> m_rows;
    QHash<QString, CellFactory> m_factories;
    QHash<QString, QList<TableViewCell *>> m_pool;
    QHash<quint64, TableViewCell *> m_visible;
    std::optional<IndexPath> m_selected;
};

} // namespace corvane
