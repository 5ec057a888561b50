#pragma once

#include "ui/shell/SCBaseViewController.h"

#include <QPointer>
#include <memory>

class QKeyEvent;
class QListView;

namespace corvane {

class ProvinceProtocol;
class SCListClient;

// The province list: any province or one of the provinces the exit address should come from. A
// tap moves the mark; "保存" hands the choice to the opener and goes back, while going back any
// other way keeps the opener's earlier choice.
class SCListViewController final : public SCBaseViewController
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCListViewController)

public:
    explicit SCListViewController(QWidget *parent = nullptr);
    ~SCListViewController() override;

    // The opener, watched weakly: a QObject that plays ProvinceProtocol.
    void setChooseClick(QObject *opener);
    ProvinceProtocol *chooseClick() const;

    // Made on first use, with this screen as its owner.
    SCListClient &client();

public Q_SLOTS:
    // The "保存" bar button's action.
    void saveCity();

protected:
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Keeps the view's selection on the row that carries the mark.
    void showMark();

    QPointer<QListView> tableView;
    std::unique_ptr<SCListClient> m_client;
    QPointer<QObject> m_chooseClick;
};

} // namespace corvane
