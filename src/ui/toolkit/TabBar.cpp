#include "ui/toolkit/TabBar.h"

#include "ui/toolkit/TabBarItem.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QToolButton>

namespace corvane {

TabBar::TabBar(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; "
                                 "color: #8E8E93; font-size: 12px; } "
                                 "QToolButton:checked { color: #007AFF; }"));
}

TabBar::~TabBar() = default;

void TabBar::setItems(const QList<TabBarItem *> &items)
{
    qDeleteAll(m_buttons);
    m_buttons.clear();
    m_items.clear();
    for (TabBarItem *item : items) {
        const int index = static_cast<int>(m_items.size());
        m_items.append(item);
        auto *button = new QToolButton(this);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(button, &QToolButton::clicked, this, [this, index] {
            setSelectedIndex(index);
            Q_EMIT tabSelected(index);
        });
        connect(item, &TabBarItem::changed, this, &TabBar::refresh);
        layout()->addWidget(button);
        m_buttons.append(button);
    }
    refresh();
}

void TabBar::setSelectedIndex(int index)
{
    m_selected = index;
    refresh();
}

void TabBar::setFrame(const QRect &frame)
{
    setGeometry(frame);
}

void TabBar::refresh()
{
    for (qsizetype i = 0; i < m_buttons.size(); ++i) {
        QToolButton *button = m_buttons.at(i);
        const TabBarItem *item = m_items.at(i);
        button->setText(item ? item->title() : QString());
        button->setIcon(item ? item->icon() : QIcon());
        button->setChecked(i == m_selected);
    }
}

void TabBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xF7, 0xF7, 0xF7));
    painter.fillRect(QRect(0, 0, width(), 1), QColor(0, 0, 0, 50));
}

} // namespace corvane
