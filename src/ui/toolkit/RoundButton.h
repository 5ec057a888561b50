#pragma once

#include <QColor>
#include <QPushButton>

namespace corvane {

// A push button drawn as the circle inscribed in its rectangle (its style sheet paints the
// face): only a press inside that circle counts, and keyboard focus shows as a ring along the
// circle's edge instead of the style's square focus frame.
class RoundButton final : public QPushButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RoundButton)

public:
    static constexpr qreal kFocusRingWidth = 3.0;

    explicit RoundButton(QWidget *parent = nullptr);
    ~RoundButton() override;

    QColor focusRingColor() const { return m_focusRingColor; }
    void setFocusRingColor(const QColor &color);

protected:
    bool hitButton(const QPoint &pos) const override;
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_focusRingColor{Qt::white};
};

} // namespace corvane
