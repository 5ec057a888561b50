#include "ui/common/ScrollingColumn.h"

#include <QHBoxLayout>
#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>

namespace corvane {

QScrollArea *ScrollingColumn::wrap(QWidget *content, int maxWidth)
{
    QWidget *parent = content->parentWidget();
    const bool hidden =
        content->isHidden() && content->testAttribute(Qt::WA_WState_ExplicitShowHide);
    auto *area = new QScrollArea(parent);
    area->setObjectName(content->objectName() + QStringLiteral("Scroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidgetResizable(true);
    // The controls inside take the keyboard, and the area scrolls each into view as it does.
    area->setFocusPolicy(Qt::NoFocus);
    area->viewport()->setAutoFillBackground(false);
    styleScrollBar(area);
    if (QLayout *layout = parent ? parent->layout() : nullptr)
        delete layout->replaceWidget(content, area);

    // Spacers that only take what the column leaves once it is at its widest.
    auto *column = new QWidget();
    column->setAutoFillBackground(false);
    auto *row = new QHBoxLayout(column);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Minimum));
    content->setMaximumWidth(maxWidth);
    content->setSizePolicy(QSizePolicy::Expanding, content->sizePolicy().verticalPolicy());
    row->addWidget(content);
    row->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Minimum));
    area->setWidget(column);
    // Shown now, as the content was: a widget that joins a showing window otherwise appears
    // only a turn of the event loop later.
    if (!hidden && parent && parent->isVisible())
        area->show();
    return area;
}

void ScrollingColumn::styleScrollBar(QAbstractScrollArea *area)
{
    area->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 8px; margin: 2px; }"
        "QScrollBar::handle:vertical { background: #C7C7CC; border-radius: 2px; min-height: "
        "32px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
}

} // namespace corvane
