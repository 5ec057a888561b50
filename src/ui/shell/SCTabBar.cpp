#include "ui/shell/SCTabBar.h"

#include "platform/log/Log.h"

namespace corvane {

SCTabBar::SCTabBar(QWidget *parent) : TabBar(parent) {}

SCTabBar::~SCTabBar() = default;

void SCTabBar::setFrame(const QRect &frame)
{
    // Printed the way a frame rectangle prints: four numbers, each with one decimal.
    auto number = [](int value) { return QString::number(value, 'f', 1); };
    Log::debug(QStringLiteral("(%1, %2, %3, %4)")
                   .arg(number(frame.x()), number(frame.y()), number(frame.width()),
                        number(frame.height())));
    TabBar::setFrame(frame);
}

} // namespace corvane
