#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QWidget>

class QLabel;
class QToolButton;

namespace corvane {

class BarButtonItem;

// The bar on top of a navigation stack: the top screen's title in the middle, its bar items on
// either side, and a back button when the screen has no left item and something lies below it.
class NavigationBar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NavigationBar)

public:
    static constexpr int kHeight = 44;

    explicit NavigationBar(QWidget *parent);
    ~NavigationBar() override;

    QColor barTintColor() const { return m_barTintColor; }
    void setBarTintColor(const QColor &color);
    QColor tintColor() const { return m_tintColor; }
    void setTintColor(const QColor &color);
    QFont titleFont() const;
    void setTitleFont(const QFont &font);
    QColor titleColor() const { return m_titleColor; }
    void setTitleColor(const QColor &color);
    // A translucent bar lets the content beneath show through its background.
    bool isTranslucent() const { return m_translucent; }
    void setTranslucent(bool translucent);

    QString title() const;
    // Shows these items; `backTitle` is empty when no back button belongs on the bar.
    void setItems(const QString &title, BarButtonItem *left, BarButtonItem *right,
                  const QString &backTitle);
    QWidget *leftView() const;
    QWidget *rightView() const;

Q_SIGNALS:
    void backRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *viewFor(BarButtonItem *item, QToolButton *button);
    void releaseCustomViews();
    void applyTint();
    void layoutItems();

    QColor m_barTintColor{0xF7, 0xF7, 0xF7};
    QColor m_tintColor{0x00, 0x7A, 0xFF};
    QColor m_titleColor{Qt::black};
    bool m_translucent = true;
    QLabel *m_titleLabel;
    QToolButton *m_leftButton;
    QToolButton *m_rightButton;
    QToolButton *m_backButton;
    QPointer<BarButtonItem> m_leftItem;
    QPointer<BarButtonItem> m_rightItem;
    QPointer<QWidget> m_leftView;
    QPointer<QWidget> m_rightView;
};

} // namespace corvane
