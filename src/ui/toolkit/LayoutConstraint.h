#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace corvane {

// A layout constant a screen changes at run time: the fixed width or height of a widget, or
// one of its content margins (the offset of what its layout holds). Changed inside
// ViewAnimation::animate, the layout moves there over the animation's duration.
class LayoutConstraint final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LayoutConstraint)

public:
    enum class Attribute
    {
        Width,
        Height,
        TopMargin,
        LeftMargin,
        BottomMargin,
        RightMargin
    };

    LayoutConstraint(QWidget *item, Attribute attribute, QObject *parent = nullptr);
    ~LayoutConstraint() override;

    QWidget *item() const { return m_item; }
    Attribute attribute() const { return m_attribute; }
    int constant() const { return m_constant; }
    void setConstant(int constant);

private:
    void apply(int value);
    int current() const;

    QPointer<QWidget> m_item;
    Attribute m_attribute;
    int m_constant;
};

} // namespace corvane
