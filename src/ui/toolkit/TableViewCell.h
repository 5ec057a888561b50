#pragma once

#include <QWidget>

class QLabel;

namespace corvane {

// A row of a table. Cells are kept by their reuse identifier when they scroll out of sight and
// handed out again for other rows, so a cell shows whatever its last row set.
class TableViewCell : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TableViewCell)

public:
    explicit TableViewCell(const QString &reuseIdentifier, QWidget *parent = nullptr);
    ~TableViewCell() override;

    QString reuseIdentifier() const { return m_reuseIdentifier; }
    QLabel *textLabel() const { return m_textLabel; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    // Called before the cell is handed out again.
    virtual void prepareForReuse() {}

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString m_reuseIdentifier;
    QLabel *m_textLabel;
    bool m_selected = false;
};

} // namespace corvane
