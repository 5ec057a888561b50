#pragma once

#include <QPixmap>
#include <QPushButton>
#include <QStyle>

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
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // What the cached picture shows. A halo pulsing around the button repaints it many times a
    // second while none of this changes, and stroking the circle is the costly part.
    struct Look
    {
        QStyle::State state;
        QString text;
        QSize size;
        qint64 icon = 0;
        bool focusRing = false;
        qreal pixelRatio = 0;
        bool operator==(const Look &) const = default;
    };

    void render(const Look &look);

    Look m_look;
    QPixmap m_picture;
};

} // namespace corvane
