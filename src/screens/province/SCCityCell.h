#pragma once

#include "ui/toolkit/TableViewCell.h"

#include <QPointer>
#include <memory>

class QLabel;
class QPushButton;

namespace Ui {
class SCCityCell;
}

namespace corvane {

// A row of the province list: the name, and a check mark that is lit on the chosen row (its
// button disabled) and a plain circle on the others.
class SCCityCell final : public TableViewCell
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCCityCell)

public:
    explicit SCCityCell(const QString &reuseIdentifier, QWidget *parent = nullptr);
    ~SCCityCell() override;

    // What a screen reader says for the row.
    void describe(const QString &name, bool chosen);

    QPointer<QLabel> textLbl;
    QPointer<QPushButton> checkBtn;

private:
    std::unique_ptr<Ui::SCCityCell> m_ui;
};

} // namespace corvane
