#include "screens/province/SCListViewController.h"

#include "screens/province/ProvinceProtocol.h"
#include "screens/province/SCCityCell.h"
#include "screens/province/SCListClient.h"
#include "ui/shell/ScreenNavigation.h"
#include "ui/toolkit/BarButtonItem.h"
#include "ui/toolkit/NavigationController.h"
#include "ui/toolkit/TableView.h"

#include <QKeyEvent>
#include <QVBoxLayout>

namespace corvane {

namespace {
const QString kRandomProvince = QStringLiteral("随机省份");
} // namespace

SCListViewController::SCListViewController(QWidget *parent) : SCBaseViewController(parent) {}

SCListViewController::~SCListViewController()
{
    // The table asks its data source while it is torn down; the client goes after it.
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
    tableView = new TableView(this);
    tableView->setObjectName(QStringLiteral("tableView"));
    tableView->setAccessibleName(QStringLiteral("省份列表"));
    layout->addWidget(tableView);

    tableView->registerCell(SCListClient::kCellIdentifier,
                            [](const QString &identifier) { return new SCCityCell(identifier); });
    auto *save = new BarButtonItem(QStringLiteral("保存"));
    connect(save, &BarButtonItem::triggered, this, &SCListViewController::saveCity);
    setRightBarButtonItem(save);

    SCListClient &list = client();
    list.successBlock = weakly(this, [](SCListViewController &self, const std::any &) {
        if (self.tableView)
            self.tableView->reloadData();
    });
    list.failureBlock = [](const SCNetError &) {};
    list.loadProvinces();
    tableView->setDataSource(&list);
}

void SCListViewController::viewDidAppear(bool animated)
{
    SCBaseViewController::viewDidAppear(animated);
    if (!tableView)
        return;
    // The keyboard starts on the row that carries the mark.
    const qsizetype chosen = client().selectedIndex;
    const IndexPath row = chosen < 0 ? IndexPath{0, 0} : IndexPath{1, static_cast<int>(chosen)};
    tableView->selectRow(row);
    tableView->scrollToRow(row);
    tableView->setFocus(Qt::OtherFocusReason);
}

void SCListViewController::saveCity()
{
    if (ProvinceProtocol *opener = chooseClick()) {
        const SCListClient &list = client();
        const qsizetype index = list.selectedIndex;
        const QString name = index >= 0 ? list.data.value(index) : kRandomProvince;
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
