#include "ui/toolkit/BarButtonItem.h"

namespace corvane {

BarButtonItem::BarButtonItem(const QString &title, QObject *parent)
    : QObject(parent), m_title(title)
{}

BarButtonItem::BarButtonItem(QWidget *customView, QObject *parent)
    : QObject(parent), m_customView(customView)
{}

BarButtonItem::~BarButtonItem()
{
    delete m_customView;
}

} // namespace corvane
