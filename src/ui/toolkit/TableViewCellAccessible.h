#pragma once

#include <QAccessibleWidget>

namespace corvane {

class TableViewCell;

// A table row as a screen reader meets it: a list item named by its text that can be pressed,
// as a click on it would.
class TableViewCellAccessible final : public QAccessibleWidget
{
public:
    explicit TableViewCellAccessible(TableViewCell *cell);

    // Lets every cell speak this way; safe to call more than once.
    static void install();

    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    TableViewCell *cell() const;
};

} // namespace corvane
