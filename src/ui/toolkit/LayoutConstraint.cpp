#include "ui/toolkit/LayoutConstraint.h"

#include "ui/toolkit/ViewAnimation.h"

namespace corvane {

LayoutConstraint::LayoutConstraint(QWidget *item, Attribute attribute, QObject *parent)
    : QObject(parent), m_item(item), m_attribute(attribute), m_constant(current())
{}

LayoutConstraint::~LayoutConstraint() = default;

int LayoutConstraint::current() const
{
    if (!m_item)
        return 0;
    const QMargins margins = m_item->contentsMargins();
    switch (m_attribute) {
    case Attribute::Width:
        return m_item->width();
    case Attribute::Height:
        return m_item->height();
    case Attribute::TopMargin:
        return margins.top();
    case Attribute::LeftMargin:
        return margins.left();
    case Attribute::BottomMargin:
        return margins.bottom();
    case Attribute::RightMargin:
        return margins.right();
    }
    return 0;
}

void LayoutConstraint::setConstant(int constant)
{
    const int from = m_constant;
    m_constant = constant;
    if (!m_item)
        return;
    const bool animated = ViewAnimation::addTransition(
        this, from, constant, [this](const QVariant &value) { apply(value.toInt()); });
    if (!animated)
        apply(constant);
}

void LayoutConstraint::apply(int value)
{
    if (!m_item)
        return;
    QMargins margins = m_item->contentsMargins();
    switch (m_attribute) {
    case Attribute::Width:
        m_item->setFixedWidth(value);
        return;
    case Attribute::Height:
        m_item->setFixedHeight(value);
        return;
    case Attribute::TopMargin:
        margins.setTop(value);
        break;
    case Attribute::LeftMargin:
        margins.setLeft(value);
        break;
    case Attribute::BottomMargin:
        margins.setBottom(value);
        break;
    case Attribute::RightMargin:
        margins.setRight(value);
        break;
    }
    m_item->setContentsMargins(margins);
}

} // namespace corvane
