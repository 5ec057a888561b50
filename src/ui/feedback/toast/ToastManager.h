#pragma once

#include "ui/feedback/toast/ToastStyle.h"
#include "ui/feedback/toast/ToastTypes.h"

namespace corvane {

// The process-wide toast settings, made on first use.
class ToastManager final
{
public:
    static ToastManager &shared();
    Q_DISABLE_COPY_MOVE(ToastManager)

    ToastStyle style;
    bool isTapToDismissEnabled = true;
    bool isQueueEnabled = false;
    // Seconds a toast stays once it has faded in.
    double duration = 1.5;
    ToastPosition position = ToastPosition::center;

private:
    ToastManager();
};

} // namespace corvane
