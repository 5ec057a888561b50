#pragma once

#include <QAbstractButton>

namespace corvane {

// A row of a grouped form that acts as one button: its layout holds whatever the screen puts
// there (a caption, the current choice, a chevron). A click anywhere on it, Space or Return
// activates it; it shows when it is pressed and when it has keyboard focus.
class RowButton final : public QAbstractButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RowButton)

public:
    explicit RowButton(QWidget *parent = nullptr);
    ~RowButton() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace corvane
