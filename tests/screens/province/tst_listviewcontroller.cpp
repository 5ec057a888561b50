#include "platform/log/Log.h"
#include "platform/resources/Resources.h"
#include "platform/scheduling/ManualClock.h"
#include "screens/MainScreens.h"
#include "screens/province/ProvinceListModel.h"
#include "screens/province/ProvinceProtocol.h"
#include "screens/province/SCCityCell.h"
#include "screens/province/SCListClient.h"
#include "screens/province/SCListViewController.h"
#include "support/ScreenSupport.h"
#include "ui/shell/SCBaseNavigationController.h"
#include "ui/shell/ScreenNavigation.h"
#include "ui/toolkit/BarButtonItem.h"
#include "ui/toolkit/NavigationBar.h"
#include "ui/toolkit/ScreenFactory.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

namespace {

// The home screen's part in the exchange: it keeps what the list hands back.
class Opener final : public ViewController, public ProvinceProtocol
{
public:
    void didChooseProvince(const QString &name, qint64 index) override
    {
        chosen.append({name, index});
    }
    QList<QPair<QString, qint64>> chosen;
};

} // namespace

class TestListViewController final : public QObject
{
    Q_OBJECT

private:
    // Opens the list over the opener as the home screen does.
    void open(qint64 provinceIndex)
    {
        std::unique_ptr<ViewController> screen(
            ScreenFactory::named(u"Main"_s).instantiate(u"list"_s));
        m_list = qobject_cast<SCListViewController *>(screen.get());
        QVERIFY(m_list);
        m_list->setChooseClick(m_opener);
        m_list->client().selectedIndex = provinceIndex;
        sc_pushViewController(m_opener, screen.release(), true);
        m_clock->advance(500ms);
        QVERIFY(view());
    }

    QListView *view() const { return m_list->findChild<QListView *>(u"tableView"_s); }

    QModelIndex indexOf(int section, int row) const
    {
        return m_list->client().model().indexFor({section, row});
    }

    // What the row shows: its cell's check button is disabled on the chosen row only, and a
    // screen reader hears the same.
    bool marked(int section, int row) const
    {
        const bool disabled = !m_list->client().cellForRow({section, row}).checkBtn->isEnabled();
        const bool spoken =
            indexOf(section, row).data(Qt::AccessibleTextRole).toString().endsWith(u"已选中"_s);
        return disabled && spoken;
    }

    int markedRows() const
    {
        int count = marked(0, 0) ? 1 : 0;
        for (int row = 0; row < m_list->client().data.size(); ++row)
            count += marked(1, row) ? 1 : 0;
        return count;
    }

    void tap(int section, int row)
    {
        const QModelIndex index = indexOf(section, row);
        view()->scrollTo(index);
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {},
                          view()->visualRect(index).center());
    }

    void leave()
    {
        m_clock->advance(500ms);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<SCBaseNavigationController> m_navigation;
    QPointer<Opener> m_opener;
    QPointer<SCListViewController> m_list;

private Q_SLOTS:
    void initTestCase()
    {
        m_clock = std::make_unique<ManualClock>();
        registerMainScreens();
    }

    void init()
    {
        m_opener = new Opener;
        m_navigation = std::make_unique<SCBaseNavigationController>(m_opener);
        m_navigation->resize(375, 812);
        m_navigation->show();
        m_clock->advance(500ms);
    }

    void cleanup()
    {
        m_navigation.reset();
        leave();
    }

    void marksTheOpenersChoice_data()
    {
        QTest::addColumn<qint64>("provinceIndex");
        QTest::newRow("random") << qint64(-1);
        QTest::newRow("first") << qint64(0);
        QTest::newRow("middle") << qint64(18);
        QTest::newRow("last") << qint64(33);
    }

    void marksTheOpenersChoice()
    {
        QFETCH(qint64, provinceIndex);
        open(provinceIndex);
        QCOMPARE(m_list->title(), u"省份选择"_s);
        QCOMPARE(m_list->client().data.size(), 34);
        QCOMPARE(m_list->client().cellForRow({0, 0}).textLbl->text(), u"随机省份"_s);
        QCOMPARE(m_list->client().cellForRow({1, 18}).textLbl->text(), u"广东"_s);
        QCOMPARE(markedRows(), 1);
        QVERIFY(provinceIndex < 0 ? marked(0, 0) : marked(1, static_cast<int>(provinceIndex)));
        QCOMPARE(indexOf(0, 0).data(Qt::AccessibleTextRole).toString(),
                 provinceIndex < 0 ? u"随机省份，已选中"_s : u"随机省份，未选中"_s);
        // The keyboard starts on the marked row.
        QCOMPARE(view()->currentIndex(),
                 provinceIndex < 0 ? indexOf(0, 0) : indexOf(1, int(provinceIndex)));
    }

    void rowsAndGaps()
    {
        open(-1);
        QCOMPARE(view()->model()->rowCount(), 35);
        QCOMPARE(view()->visualRect(indexOf(0, 0)).top(), 0);
        // 20 points after the random row; none between provinces.
        QCOMPARE(view()->visualRect(indexOf(1, 0)).top(), 70);
        QCOMPARE(view()->visualRect(indexOf(1, 1)).top(), 120);
    }

    void saveHandsTheChoiceBack_data()
    {
        QTest::addColumn<qint64>("provinceIndex");
        QTest::addColumn<int>("section");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("index");
        QTest::newRow("random chosen") << qint64(4) << 0 << 0 << u"随机省份"_s << qint64(-1);
        QTest::newRow("province chosen") << qint64(-1) << 1 << 8 << u"上海"_s << qint64(8);
        QTest::newRow("the last") << qint64(-1) << 1 << 33 << u"澳门"_s << qint64(33);
    }

    void saveHandsTheChoiceBack()
    {
        QFETCH(qint64, provinceIndex);
        QFETCH(int, section);
        QFETCH(int, row);
        QFETCH(QString, name);
        QFETCH(qint64, index);
        open(provinceIndex);
        tap(section, row);
        QVERIFY(marked(section, row));
        QCOMPARE(markedRows(), 1);
        QVERIFY(m_opener->chosen.isEmpty());
        m_navigation->topViewController()->rightBarButtonItem()->trigger();
        QCOMPARE(m_opener->chosen, (QList<QPair<QString, qint64>>{{name, index}}));
        leave();
        QVERIFY(!m_list);
        QCOMPARE(m_navigation->viewControllers().size(), 1);
    }

    void aScreenReaderPicksAndTheMarkAlwaysShows()
    {
        open(-1);
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view());
        QAccessibleTableInterface *table = list->tableInterface();
        QVERIFY(table);
        QAccessibleInterface *shanghai = table->cellAt(indexOf(1, 8).row(), 0);
        QCOMPARE(shanghai->text(QAccessible::Name), u"上海，未选中"_s);
        shanghai->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        settle();
        QVERIFY(marked(1, 8));
        // Ctrl and a click take the selection off the marked row: the mark stays, and shows.
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          view()->visualRect(indexOf(1, 8)).center());
        settle();
        QVERIFY(view()->selectionModel()->isSelected(indexOf(1, 8)));
        QVERIFY(marked(1, 8));
        QCOMPARE(markedRows(), 1);
    }

    void backWithoutSaveKeepsTheEarlierChoice()
    {
        open(3);
        tap(1, 5);
        tap(0, 0);
        back(m_list);
        leave();
        QVERIFY(!m_list);
        QVERIFY(m_opener->chosen.isEmpty());
    }

    void anOpenerGoneBeforeSaveGetsNothing()
    {
        open(-1);
        tap(1, 2);
        m_list->setChooseClick(nullptr);
        m_list->saveCity();
        leave();
        QVERIFY(!m_list);
        QVERIFY(m_opener->chosen.isEmpty());
    }

    void keyboardAlone()
    {
        open(-1);
        QCOMPARE(unnamedControls(m_navigation.get()), QStringList());
        QApplication::setActiveWindow(m_navigation.get());
        QTRY_VERIFY(view()->hasFocus());
        // The mark follows the keys, as in a group of radio buttons.
        QTest::keyClick(view(), Qt::Key_Down);
        QTest::keyClick(view(), Qt::Key_Down);
        QVERIFY(marked(1, 1));
        QTest::keyClick(view(), Qt::Key_Down);
        QVERIFY(marked(1, 2));
        QCOMPARE(markedRows(), 1);
        QTest::keyClick(view(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(m_opener->chosen, (QList<QPair<QString, qint64>>{{u"河北"_s, 2}}));
        leave();

        open(2);
        QTRY_VERIFY(view()->hasFocus());
        QTest::keyClick(view(), Qt::Key_Down);
        QTest::keyClick(view(), Qt::Key_Escape);
        leave();
        QVERIFY(!m_list);
        QCOMPARE(m_opener->chosen.size(), 1);
    }

    void unusableProvinceFileLeavesOnlyRandom_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not a list") << QByteArray(R"({"city": "北京"})");
        QTest::newRow("empty") << QByteArray(R"({"city": []})");
        QTest::newRow("not JSON") << QByteArray("北京,天津");
    }

    void unusableProvinceFileLeavesOnlyRandom()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir folder;
        const QStringList roots = Resources::searchRoots();
        if (!bytes.isEmpty()) {
            QFile file(folder.filePath(u"city.json"_s));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        // Only the test's folder: a missing file stays missing.
        Resources::setSearchRoots({folder.path()});
        QStringList lines;
        const Log::Sink previous =
            Log::setSink([&lines](QtMsgType, const QString &line) { lines << line; });
        open(5);
        Log::setSink(previous);
        Resources::setSearchRoots(roots);
        QCOMPARE(view()->model()->rowCount(), 1);
        QVERIFY(marked(0, 0));
        QCOMPARE(lines.filter(u"No provinces to offer"_s).size(), 1);
        m_navigation->topViewController()->rightBarButtonItem()->trigger();
        QCOMPARE(m_opener->chosen, (QList<QPair<QString, qint64>>{{u"随机省份"_s, -1}}));
    }
};

QTEST_MAIN(TestListViewController)
#include "tst_listviewcontroller.moc"
