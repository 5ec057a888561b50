#include "ui/toolkit/TableView.h"
#include "ui/toolkit/TableViewCell.h"

#include <QAccessible>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

using namespace corvane;

namespace {
const QString kCellId = QStringLiteral("cell");

class CountingCell final : public TableViewCell
{
public:
    using TableViewCell::TableViewCell;
    void prepareForReuse() override { ++reuses; }
    int reuses = 0;
};

// Two sections of 50 rows, 50 points each, a 20-point footer after the first section only.
class Provinces final : public TableViewDataSource
{
public:
    int numberOfSections(TableView *) const override { return 2; }
    int numberOfRows(TableView *, int) const override { return rows; }
    TableViewCell *cellForRow(TableView *table, const IndexPath &indexPath) override
    {
        auto *cell = table->dequeueReusableCell(kCellId);
        cell->textLabel()->setText(
            QStringLiteral("%1-%2").arg(indexPath.section).arg(indexPath.row));
        return cell;
    }
    int heightForRow(TableView *, const IndexPath &) const override { return 50; }
    int heightForFooter(TableView *, int section) const override { return section == 0 ? 20 : 0; }
    void didSelectRow(TableView *table, const IndexPath &indexPath) override
    {
        selected.append(indexPath);
        if (reloadOnSelect)
            table->reloadData();
    }

    int rows = 50;
    bool reloadOnSelect = false;
    QList<IndexPath> selected;
};

struct Fixture
{
    Fixture()
    {
        table.registerCell(kCellId, [this](const QString &id) {
            ++made;
            return new CountingCell(id);
        });
        table.resize(375, 300);
        table.show();
        table.setDataSource(&provinces);
    }

    Provinces provinces;
    TableView table;
    int made = 0;
};
} // namespace

class TestTableView final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void geometryFollowsHeightsAndFooters()
    {
        Fixture f;
        QCOMPARE(f.table.numberOfRows(0), 50);
        QCOMPARE(f.table.rectForRow({0, 1}), QRect(0, 50, 375, 50));
        QCOMPARE(f.table.rectForRow({1, 0}).top(), 50 * 50 + 20);
        QCOMPARE(f.table.widget()->height(), 100 * 50 + 20);
        QVERIFY(f.table.rectForRow({2, 0}).isNull());
    }

    void onlyVisibleRowsHaveCellsAndCellsAreReused()
    {
        Fixture f;
        QCOMPARE(f.table.indexPathsForVisibleRows().size(), 6);
        QCOMPARE(f.made, 6);
        QCOMPARE(f.table.cellForRow({0, 0})->textLabel()->text(), QStringLiteral("0-0"));
        QCOMPARE(f.table.cellForRow({0, 10}), nullptr);

        for (int value = 0; value <= f.table.verticalScrollBar()->maximum(); value += 37)
            f.table.verticalScrollBar()->setValue(value);
        f.table.verticalScrollBar()->setValue(f.table.verticalScrollBar()->maximum());
        QVERIFY2(f.made <= 8, qPrintable(QString::number(f.made)));
        const QList<IndexPath> visible = f.table.indexPathsForVisibleRows();
        QCOMPARE(visible.last(), (IndexPath{1, 49}));
        auto *last = static_cast<CountingCell *>(f.table.cellForRow({1, 49}));
        QCOMPARE(last->textLabel()->text(), QStringLiteral("1-49"));
        QVERIFY(last->reuses > 0);

        f.provinces.rows = 3;
        f.table.reloadData();
        QCOMPARE(f.table.indexPathsForVisibleRows().size(), 6);
        QVERIFY(f.made <= 8);
    }

    void unknownIdentifierGivesNoCell()
    {
        Fixture f;
        QCOMPARE(f.table.dequeueReusableCell(QStringLiteral("other")), nullptr);
    }

    void clickSelectsAndTellsTheDataSource()
    {
        Fixture f;
        TableViewCell *cell = f.table.cellForRow({0, 2});
        QTest::mouseClick(cell, Qt::LeftButton);
        QCOMPARE(f.provinces.selected, QList<IndexPath>{(IndexPath{0, 2})});
        QCOMPARE(f.table.indexPathForSelectedRow(), (IndexPath{0, 2}));
        QVERIFY(cell->isSelected());

        QTest::mouseClick(f.table.cellForRow({0, 3}), Qt::LeftButton);
        QVERIFY(!cell->isSelected());
        f.table.deselectRow({0, 3});
        QVERIFY(!f.table.indexPathForSelectedRow());

        // A data source may reload from inside the selection callback.
        f.provinces.reloadOnSelect = true;
        QTest::mouseClick(f.table.cellForRow({0, 1}), Qt::LeftButton);
        QCOMPARE(f.provinces.selected.size(), 3);
        QVERIFY(!f.table.indexPathForSelectedRow());
    }

    void keysMoveAndPickTheSelection()
    {
        Fixture f;
        QTest::keyClick(&f.table, Qt::Key_Down);
        QTest::keyClick(&f.table, Qt::Key_Down);
        QCOMPARE(f.table.indexPathForSelectedRow(), (IndexPath{0, 1}));
        QVERIFY(f.provinces.selected.isEmpty());
        QTest::keyClick(&f.table, Qt::Key_Return);
        QCOMPARE(f.provinces.selected, QList<IndexPath>{(IndexPath{0, 1})});
        for (int i = 0; i < 60; ++i)
            QTest::keyClick(&f.table, Qt::Key_Down);
        QCOMPARE(f.table.indexPathForSelectedRow(), (IndexPath{1, 11}));
        QVERIFY(f.table.cellForRow({1, 11}));
        QVERIFY(f.table.cellForRow({1, 11})->isSelected());
    }

    void aScreenReaderPressesARow()
    {
        Fixture f;
        TableViewCell *cell = f.table.cellForRow({0, 2});
        QAccessibleInterface *row = QAccessible::queryAccessibleInterface(cell);
        QVERIFY(row);
        QCOMPARE(row->role(), QAccessible::ListItem);
        QCOMPARE(row->text(QAccessible::Name), QStringLiteral("0-2"));
        cell->setAccessibleName(QStringLiteral("河北，未选中"));
        QCOMPARE(row->text(QAccessible::Name), QStringLiteral("河北，未选中"));
        QAccessibleActionInterface *actions = row->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(f.provinces.selected, QList<IndexPath>{IndexPath({0, 2})});
        QVERIFY(row->state().selected);
    }
};

QTEST_MAIN(TestTableView)
#include "tst_tableview.moc"
