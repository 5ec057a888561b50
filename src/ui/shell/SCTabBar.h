#pragma once

#include "ui/toolkit/TabBar.h"

namespace corvane {

// The application's tab bar; it writes each new frame to the log.
class SCTabBar final : public TabBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCTabBar)

public:
    explicit SCTabBar(QWidget *parent = nullptr);
    ~SCTabBar() override;

    void setFrame(const QRect &frame) override;
};

} // namespace corvane
