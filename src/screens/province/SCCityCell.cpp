#include "screens/province/SCCityCell.h"

#include "ui_SCCityCell.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>

namespace corvane {

SCCityCell::SCCityCell(const QString &reuseIdentifier, QWidget *parent)
    : TableViewCell(reuseIdentifier, parent), m_ui(std::make_unique<Ui::SCCityCell>())
{
    // The row's own text label gives way to the layout's.
    textLabel()->hide();
    auto *content = new QWidget(this);
    m_ui->setupUi(content);
    layout()->addWidget(content);
    textLbl = m_ui->textLbl;
    checkBtn = m_ui->checkBtn;
    // The mark only shows the choice; the row takes the click.
    checkBtn->setAttribute(Qt::WA_TransparentForMouseEvents);
}

SCCityCell::~SCCityCell() = default;

void SCCityCell::describe(const QString &name, bool chosen)
{
    const QString state = chosen ? QStringLiteral("已选中") : QStringLiteral("未选中");
    setAccessibleName(name + QStringLiteral("，") + state);
    if (checkBtn)
        checkBtn->setAccessibleName(state);
}

} // namespace corvane
