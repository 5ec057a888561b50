#pragma once

#include "ui/toolkit/TabBarItem.h"

namespace corvane {

// The application's tab bar item.
class SCTabBarItem final : public TabBarItem
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCTabBarItem)

public:
    explicit SCTabBarItem(QObject *parent = nullptr);
    ~SCTabBarItem() override;
};

} // namespace corvane
