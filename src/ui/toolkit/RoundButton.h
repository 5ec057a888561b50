#pragma once

#include <QPushButton>

namespace corvane {

// A push button drawn as the circle inscribed in its rectangle (its style sheet paints the
// face): only a press inside that circle counts, and keyboard focus shows as a ring along the
// circle's edge (white, for the coloured faces it is made for) instead of the style's square
// focus frame.
class RoundButton final : public QPushButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RoundButton)

public:
    static constexpr qreal kFocusRingWidth = 3.0;

    explicit RoundButton(QWidget *parent = nullptr);
    ~RoundButton() override;

protected:
    bool hitButton(const QPoint &pos) const override;
    void paintEvent(QPaintEvent *event) override;
};

} // namespace corvane
