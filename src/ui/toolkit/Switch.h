#pragma once

#include <QAbstractButton>
#include <chrono>

class QVariantAnimation;

namespace corvane {

// An on/off switch drawn as a rounded track with a sliding knob; a click or Space flips it, and
// keyboard focus shows as a ring around the track. It shows no text, so give it an accessible
// name.
class Switch final : public QAbstractButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Switch)

public:
    static constexpr std::chrono::milliseconds kAnimation{200};
    static constexpr qreal kFocusRingWidth = 2.0;

    explicit Switch(QWidget *parent = nullptr);
    ~Switch() override;

    bool isOn() const { return isChecked(); }
    void setOn(bool on, bool animated = false);

    QColor onTintColor() const { return m_onTint; }
    void setOnTintColor(const QColor &color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_onTint{0x4C, 0xD9, 0x64};
    double m_knob = 0.0;
    bool m_jump = false;
    QVariantAnimation *m_animation;
};

} // namespace corvane
