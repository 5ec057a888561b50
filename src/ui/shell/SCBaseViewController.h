#pragma once

#include "ui/toolkit/ViewController.h"

namespace corvane {

// The common base of the application's screens.
class SCBaseViewController : public ViewController
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCBaseViewController)

public:
    explicit SCBaseViewController(QWidget *parent = nullptr);
    ~SCBaseViewController() override;
};

} // namespace corvane
