#include "screens/province/SCCityCell.h"

#include "ui_SCCityCell.h"

#include <QLabel>
#include <QPushButton>

namespace corvane {

SCCityCell::SCCityCell(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::SCCityCell>())
{
    m_ui->setupUi(this);
    textLbl = m_ui->textLbl;
    checkBtn = m_ui->checkBtn;
}

SCCityCell::~SCCityCell() = default;

} // namespace corvane
