#include "ui/shell/SCBaseRootViewController.h"

#include "ui/toolkit/NavigationController.h"

namespace corvane {

SCBaseRootViewController::SCBaseRootViewController(QWidget *parent) : SCBaseViewController(parent)
{}

SCBaseRootViewController::~SCBaseRootViewController() = default;

void SCBaseRootViewController::viewDidAppear(bool animated)
{
    SCBaseViewController::viewDidAppear(animated);
    if (NavigationController *navigation = navigationController())
        navigation->setBackGestureEnabled(false);
}

} // namespace corvane
