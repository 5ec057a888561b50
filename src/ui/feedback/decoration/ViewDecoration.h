#pragma once

#include <QColor>
#include <QGraphicsEffect>
#include <QPointF>

class QWidget;

namespace corvane {

// The drawing layer of a widget: rounded corners with optional clipping, a border, a soft
// shadow, a rounded background and an overall alpha, composited around whatever the widget and
// its children paint. It is the widget's graphics effect, so it lives and dies with the widget.
class ViewDecoration final : public QGraphicsEffect
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ViewDecoration)
    Q_PROPERTY(qreal alpha READ alpha WRITE setAlpha)

public:
    // The decoration of `view`, created (replacing any other graphics effect) on first use.
    static ViewDecoration *of(QWidget *view);
    // The decoration of `view` if it has one.
    static ViewDecoration *find(const QWidget *view);

    qreal cornerRadius() const { return m_cornerRadius; }
    // Clipping to the rounded bounds follows the radius: on exactly when it is positive.
    void setCornerRadius(qreal radius);
    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks);

    qreal borderWidth() const { return m_borderWidth; }
    // Negative widths are stored as 0.
    void setBorderWidth(qreal width);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &color);

    // True exactly when the layer does not clip; setting true gives the soft card shadow on a
    // white background, setting false changes nothing.
    bool addShadow() const { return !m_masksToBounds; }
    void setAddShadow(bool on);

    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor &color);

    QColor shadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor &color);
    qreal shadowOpacity() const { return m_shadowOpacity; }
    void setShadowOpacity(qreal opacity);
    qreal shadowRadius() const { return m_shadowRadius; }
    void setShadowRadius(qreal radius);
    QPointF shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(QPointF offset);

    qreal alpha() const { return m_alpha; }
    void setAlpha(qreal alpha);

    QRectF boundingRectFor(const QRectF &rect) const override;

protected:
    void draw(QPainter *painter) override;

private:
    explicit ViewDecoration(QWidget *view);
    bool hasShadow() const;
    void drawShadow(QPainter *painter, const QRectF &bounds) const;
    void drawBorder(QPainter *painter, const QRectF &bounds) const;
    void drawDirect(QPainter *painter);
    void changed();

    qreal m_cornerRadius = 0;
    bool m_masksToBounds = false;
    qreal m_borderWidth = 0;
    QColor m_borderColor = Qt::black;
    QColor m_backgroundColor;
    QColor m_shadowColor = Qt::black;
    qreal m_shadowOpacity = 0;
    qreal m_shadowRadius = 3;
    QPointF m_shadowOffset{0, -3};
    qreal m_alpha = 1;
};

} // namespace corvane
