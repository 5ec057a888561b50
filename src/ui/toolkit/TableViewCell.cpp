#include "ui/toolkit/TableViewCell.h"

#include "ui/toolkit/TableViewCellAccessible.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace corvane {

TableViewCell::TableViewCell(const QString &reuseIdentifier, QWidget *parent)
    : QWidget(parent), m_reuseIdentifier(reuseIdentifier), m_textLabel(new QLabel(this))
{
    TableViewCellAccessible::install();
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 0, 16, 0);
    layout->addWidget(m_textLabel);
    QFont font = m_textLabel->font();
    font.setPixelSize(17);
    m_textLabel->setFont(font);
}

TableViewCell::~TableViewCell() = default;

void TableViewCell::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

void TableViewCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_selected ? QColor(0xD9, 0xD9, 0xD9) : QColor(Qt::white));
    painter.fillRect(QRect(16, height() - 1, width() - 16, 1), QColor(0xC8, 0xC7, 0xCC));
}

void TableViewCell::mousePressEvent(QMouseEvent *event)
{
    // Taking the press is what brings the release here.
    event->setAccepted(event->button() == Qt::LeftButton);
}

void TableViewCell::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

} // namespace corvane
