#pragma once

#include "ui/toolkit/TabBarController.h"

namespace corvane {

// The application's tab bar controller, showing an SCTabBar.
class SCRootTabBarController final : public TabBarController
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCRootTabBarController)

public:
    explicit SCRootTabBarController(QWidget *parent = nullptr);
    ~SCRootTabBarController() override;
};

} // namespace corvane
