#pragma once

#include "ui/shell/SCBaseViewController.h"

namespace corvane {

// A screen at the root of its stack: nothing lies below it, so each time it has appeared it
// switches its stack's back gesture off.
class SCBaseRootViewController : public SCBaseViewController
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCBaseRootViewController)

public:
    explicit SCBaseRootViewController(QWidget *parent = nullptr);
    ~SCBaseRootViewController() override;

protected:
    void viewDidAppear(bool animated) override;
};

} // namespace corvane
