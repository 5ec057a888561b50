#include "screens/province/SCListViewController.h"

#include "core/home/ChoiceTexts.h"
#include "screens/province/ProvinceListModel.h"
#include "screens/province/ProvinceProtocol.h"
#include "screens/province/ProvinceRowDelegate.h"
#include "screens/province/SCListClient.h"
#include "ui/common/ScrollingColumn.h"
#include "ui/shell/ScreenNavigation.h"
#include "ui/toolkit/BarButtonItem.h"
#include "ui/toolkit/NavigationController.h"

#include <QKeyEvent>
#include <QListView>
#include <QVBoxLayout>

namespace corvane {

namespace {} // namespace

SCListViewController::SCListViewController(QWidget *parent) : SCBaseViewController(parent) {}

SCListViewController::~SCListViewController()
{
    // The view and its delegate ask the client while they are torn down; the client goes after.
    delete tableView;
}

void SCListViewController::setChooseClick(QObject *opener)
{
    m_chooseClick = opener;
}

ProvinceProtocol *SCListViewController::chooseClick() const
{
    return dynamic_cast<ProvinceProtocol *>(m_chooseClick.data());
}

SCListClient &SCListViewController::client()
{
    if (!m_client)
        m_client = std::make_unique<SCListClient>(*this);
    return *m_client;
}

void SCListViewController::viewDidLoad()
{
    SCBaseViewController::viewDidLoad();
    setTitle(QStringLiteral("省份选择"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tableView = new QListView(this);
    tableView->setObjectName(QStringLiteral("tableView"));
    tableView->setAccessibleName(QStringLiteral("省份列表"));
    tableView->setFrameShape(QFrame::NoFrame);
    tableView->viewport()->setAutoFillBackground(false);
    tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    tableView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    ScrollingColumn::styleScrollBar(tableView);
    layout->addWidget(tableView);

    auto *save = new BarButtonItem(QStringLiteral("保存"));
    connect(save, &BarButtonItem::triggered, this, &SCListViewController::saveCity);
    setRightBarButtonItem(save);

    SCListClient &list = client();
    list.successBlock = weakly(this, [](SCListViewController &self, const std::any &) {
        self.client().model().reload();
        self.showMark();
    });
    list.failureBlock = [](const SCNetError &) {};
    tableView->setItemDelegate(new ProvinceRowDelegate(list, tableView));
    tableView->setModel(&list.model());
    // Picking a row, by pointer, keys or a screen reader, moves the mark to it. The selection
    // never stays empty, since one row always carries the mark; a screen reader's pick clears
    // it first, so the mark is shown again only once the pick is through.
    connect(tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected) {
                if (!selected.isEmpty()) {
                    const IndexPath row = client().model().indexPathOf(selected.indexes().first());
                    if (!client().isChosen(row))
                        client().didSelectRow(row);
                    showMark();
                } else if (!tableView->selectionModel()->hasSelection()) {
                    QMetaObject::invokeMethod(this, &SCListViewController::showMark,
                                              Qt::QueuedConnection);
                }
            });
    list.loadProvinces();
}

void SCListViewController::showMark()
{
    if (!tableView)
        return;
    const qsizetype chosen = client().selectedIndex;
    const QModelIndex row = client().model().indexFor(
        chosen < 0 ? IndexPath{0, 0} : IndexPath{1, static_cast<int>(chosen)});
    tableView->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
    tableView->scrollTo(row);
}

void SCListViewController::viewDidAppear(bool animated)
{
    SCBaseViewController::viewDidAppear(animated);
    if (!tableView)
        return;
    // The keyboard starts on the row that carries the mark.
    showMark();
    tableView->setFocus(Qt::OtherFocusReason);
}

void SCListViewController::saveCity()
{
    if (ProvinceProtocol *opener = chooseClick()) {
        const SCListClient &list = client();
        const qsizetype index = list.selectedIndex;
        const QString name = index >= 0 ? list.data.value(index) : ChoiceTexts::anyProvince();
        opener->didChooseProvince(name, index);
    }
    if (NavigationController *navigation = navigationController())
        navigation->popViewController(true);
}

void SCListViewController::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        back(this);
        return;
    }
    if (event->matches(QKeySequence::Save)) {
        saveCity();
        return;
    }
    SCBaseViewController::keyPressEvent(event);
}

} // namespace corvane
