#include "ui/toolkit/TabBarItem.h"

namespace corvane {

TabBarItem::TabBarItem(QObject *parent) : QObject(parent) {}

TabBarItem::~TabBarItem() = default;

void TabBarItem::setTitle(const QString &title)
{
    m_title = title;
    Q_EMIT changed();
}

void TabBarItem::setIcon(const QIcon &icon)
{
    m_icon = icon;
    Q_EMIT changed();
}

} // namespace corvane
