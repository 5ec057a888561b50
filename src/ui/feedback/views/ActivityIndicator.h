#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

class QVariantAnimation;

namespace corvane {

// A spinning ring of twelve fading spokes, the usual busy indicator.
class ActivityIndicator final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActivityIndicator)

public:
    explicit ActivityIndicator(QWidget *parent = nullptr);
    ~ActivityIndicator() override;

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    // When set (the default) the indicator is hidden whenever it is not spinning.
    bool hidesWhenStopped() const { return m_hidesWhenStopped; }
    void setHidesWhenStopped(bool hides);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color = Qt::white;
    bool m_hidesWhenStopped = true;
    int m_step = 0;
    QPointer<QVariantAnimation> m_animation;
};

} // namespace corvane
