#include "ui/shell/SCRootTabBarController.h"

#include "ui/shell/SCTabBar.h"

namespace corvane {

SCRootTabBarController::SCRootTabBarController(QWidget *parent)
    : TabBarController(new SCTabBar, parent)
{}

SCRootTabBarController::~SCRootTabBarController() = default;

} // namespace corvane
