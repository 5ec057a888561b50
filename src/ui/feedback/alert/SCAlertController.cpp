#include "ui/feedback/alert/SCAlertController.h"

namespace corvane {

SCAlertController::SCAlertController(QWidget *parent) : QMessageBox(parent) {}

SCAlertController::~SCAlertController() = default;

} // namespace corvane
