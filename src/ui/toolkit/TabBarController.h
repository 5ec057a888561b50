#pragma once

#include "ui/toolkit/ViewController.h"

#include <QList>
#include <QPointer>

namespace corvane {

class TabBar;

// Screens side by side, one shown at a time, picked from the tab bar at the bottom. The bar
// hides while the selected stack shows a screen pushed with hidesBottomBarWhenPushed.
class TabBarController : public ViewController
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TabBarController)

public:
    explicit TabBarController(QWidget *parent = nullptr);
    ~TabBarController() override;

    void setViewControllers(const QList<ViewController *> &screens);
    QList<ViewController *> viewControllers() const;
    int selectedIndex() const { return m_selected; }
    void setSelectedIndex(int index);
    ViewController *selectedViewController() const;
    TabBar *tabBar() const { return m_tabBar; }

protected:
    // For subclasses that bring their own bar; the controller takes ownership.
    TabBarController(TabBar *tabBar, QWidget *parent);

    QList<ViewController *> childrenForAppearance() const override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool bottomBarHidden() const;
    void layoutContent();

    TabBar *m_tabBar;
    QList<QPointer<ViewController>> m_screens;
    int m_selected = -1;
};

} // namespace corvane
