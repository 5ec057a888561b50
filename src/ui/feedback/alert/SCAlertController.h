#pragma once

#include <QMessageBox>

namespace corvane {

// The application's alert; it keeps the platform alert as it is, and exists so screens have one
// type to extend.
class SCAlertController final : public QMessageBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCAlertController)

public:
    explicit SCAlertController(QWidget *parent = nullptr);
    ~SCAlertController() override;
};

} // namespace corvane
