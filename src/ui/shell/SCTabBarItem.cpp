#include "ui/shell/SCTabBarItem.h"

namespace corvane {

SCTabBarItem::SCTabBarItem(QObject *parent) : TabBarItem(parent) {}

SCTabBarItem::~SCTabBarItem() = default;

} // namespace corvane
