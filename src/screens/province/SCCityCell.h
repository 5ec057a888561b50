#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;

namespace Ui {
class SCCityCell;
}

namespace corvane {

// A row of the province list as its layout draws it: the name, and a check mark that is lit
// on the chosen row (its button disabled) and a plain circle on the others. The list's rows are
// painted from it; it has no behaviour of its own.
class SCCityCell final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCCityCell)

public:
    explicit SCCityCell(QWidget *parent = nullptr);
    ~SCCityCell() override;

    QPointer<QLabel> textLbl;
    QPointer<QPushButton> checkBtn;

private:
    std::unique_ptr<Ui::SCCityCell> m_ui;
};

} // namespace corvane
