#include "ui/shell/SCTabBar.h"

#include "platform/log/Log.h"

namespace corvane {

SCTabBar::SCTabBar(QWidget *parent) : TabBar(parent) {}

SCTabBar::~SCTabBar() = default;

void SCTabBar::setFrame(const QRect &frame)
{
    Log::write(QStringLiteral("(%1, %2, %3, %4)")
                   .arg(frame.x())
                   .arg(frame.y())
                   .arg(frame.width())
                   .arg(frame.height()));
    TabBar::setFrame(frame);
}

} // namespace corvane
