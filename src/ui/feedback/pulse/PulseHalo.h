#pragma once

#include <QColor>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QAbstractAnimation;

namespace corvane {

// The coloured halo a pulsing view shows behind itself. It sits in the view's parent just below
// the view, over the view's frame (following it when it moves or resizes), and grows by `scale`
// about the frame's centre. Its animations pause while it is hidden.
class PulseHalo final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PulseHalo)
    Q_PROPERTY(qreal scale READ scale WRITE setScale)
    Q_PROPERTY(qreal opacity READ opacity WRITE setOpacity)

public:
    PulseHalo(QWidget *target, const QColor &color, qreal opacity);

    QWidget *target() const { return m_target; }
    QColor color() const { return m_color; }
    qreal cornerRadius() const { return m_cornerRadius; }
    QRect baseFrame() const { return m_baseFrame; }

    // Starts one of the halo's animations (a child of it), held paused while the halo is hidden.
    void run(QAbstractAnimation *animation);

    qreal scale() const { return m_scale; }
    void setScale(qreal scale);
    qreal opacity() const { return m_opacity; }
    void setOpacity(qreal opacity);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<QWidget> m_target;
    QColor m_color;
    QRect m_baseFrame;
    qreal m_cornerRadius = 0;
    qreal m_scale = 1;
    qreal m_opacity = 1;
};

} // namespace corvane
