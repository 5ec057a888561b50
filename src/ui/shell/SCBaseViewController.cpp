#include "ui/shell/SCBaseViewController.h"

namespace corvane {

SCBaseViewController::SCBaseViewController(QWidget *parent) : ViewController(parent) {}

SCBaseViewController::~SCBaseViewController() = default;

} // namespace corvane
