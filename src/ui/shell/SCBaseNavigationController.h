#pragma once

#include "ui/toolkit/NavigationController.h"

namespace corvane {

// The navigation stack every screen lives in: a deep blue opaque bar with a white bold title
// and white bar items. Every pushed screen but the root hides the bottom bar, every push
// switches the back gesture on, and a pop always animates.
class SCBaseNavigationController : public NavigationController
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCBaseNavigationController)

public:
    static constexpr quint32 kBarColor = 0x2E458B;
    static constexpr int kTitlePointSize = 19;

    explicit SCBaseNavigationController(ViewController *root, QWidget *parent = nullptr);
    ~SCBaseNavigationController() override;

    void pushViewController(ViewController *screen, bool animated) override;
    ViewController *popViewController(bool animated) override;

protected:
    void viewDidLoad() override;
    // The stack answers for its own back gesture, so a custom left item does not block it.
    bool backGestureShouldBegin() const override;
};

} // namespace corvane
