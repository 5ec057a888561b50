#pragma once

#include <QRect>
#include <QSize>

namespace corvane {

// Sizes of the application's window on a desktop screen.
class WindowFit final
{
public:
    WindowFit() = delete;

    // The phone-shaped size the screens are drawn for.
    static constexpr QSize kDesignSize{375, 812};
    // The smallest window in which the screens' rows, switches and buttons keep apart.
    static constexpr QSize kMinimumSize{320, 480};
    // Room kept for the window manager's title bar and borders, which are not known before
    // the window is shown.
    static constexpr QSize kFrameAllowance{16, 48};

    // The first size: the design size, shrunk to what the screen's available area (without
    // panels and docks) leaves for the window, but never below the minimum.
    static QSize firstSize(const QRect &available);
};

} // namespace corvane
