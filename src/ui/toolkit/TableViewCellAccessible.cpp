#include "ui/toolkit/TableViewCellAccessible.h"

#include "ui/toolkit/TableViewCell.h"

#include <QLabel>

namespace corvane {

namespace {
QAccessibleInterface *cellInterface(const QString &, QObject *object)
{
    if (auto *cell = qobject_cast<TableViewCell *>(object))
        return new TableViewCellAccessible(cell);
    return nullptr;
}
} // namespace

TableViewCellAccessible::TableViewCellAccessible(TableViewCell *cell)
    : QAccessibleWidget(cell, QAccessible::ListItem)
{}

void TableViewCellAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(cellInterface);
        return true;
    }();
    Q_UNUSED(installed)
}

TableViewCell *TableViewCellAccessible::cell() const
{
    return static_cast<TableViewCell *>(widget());
}

QString TableViewCellAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Name && cell()->accessibleName().isEmpty())
        return cell()->textLabel()->text();
    return QAccessibleWidget::text(kind);
}

QAccessible::State TableViewCellAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.selectable = true;
    state.selected = cell()->isSelected();
    return state;
}

QStringList TableViewCellAccessible::actionNames() const
{
    return QAccessibleWidget::actionNames() << pressAction();
}

void TableViewCellAccessible::doAction(const QString &actionName)
{
    if (actionName == pressAction())
        Q_EMIT cell()->clicked();
    else
        QAccessibleWidget::doAction(actionName);
}

} // namespace corvane
