#include "ui/toolkit/NavigationBar.h"

#include "ui/toolkit/BarButtonItem.h"

#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <algorithm>

namespace corvane {

namespace {
constexpr int kSideMargin = 8;
constexpr int kTitleGap = 8;

// The back chevron, drawn in the bar's tint colour.
QIcon chevron(const QColor &color)
{
    QPixmap pixmap(QSize(13, 22) * 2);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF{QPointF(11, 2), QPointF(2, 11), QPointF(11, 20)});
    return QIcon(pixmap);
}

QToolButton *makeButton(QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setIconSize(QSize(13, 22));
    button->hide();
    return button;
}
} // namespace

NavigationBar::NavigationBar(QWidget *parent)
    : QWidget(parent), m_titleLabel(new QLabel(this)), m_leftButton(makeButton(this)),
      m_rightButton(makeButton(this)), m_backButton(makeButton(this))
{
    setFixedHeight(kHeight);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    QFont font = m_titleLabel->font();
    font.setPixelSize(17);
    font.setBold(true);
    m_titleLabel->setFont(font);
    connect(m_leftButton, &QToolButton::clicked, this, [this] {
        if (m_leftItem)
            m_leftItem->trigger();
    });
    connect(m_rightButton, &QToolButton::clicked, this, [this] {
        if (m_rightItem)
            m_rightItem->trigger();
    });
    connect(m_backButton, &QToolButton::clicked, this, &NavigationBar::backRequested);
    applyTint();
}

NavigationBar::~NavigationBar()
{
    // The items own their custom views; the bar only shows them.
    releaseCustomViews();
}

void NavigationBar::setBarTintColor(const QColor &color)
{
    m_barTintColor = color;
    update();
}

void NavigationBar::setTintColor(const QColor &color)
{
    m_tintColor = color;
    applyTint();
}

QFont NavigationBar::titleFont() const
{
    return m_titleLabel->font();
}

void NavigationBar::setTitleFont(const QFont &font)
{
    m_titleLabel->setFont(font);
    layoutItems();
}

void NavigationBar::setTitleColor(const QColor &color)
{
    m_titleColor = color;
    applyTint();
}

void NavigationBar::setTranslucent(bool translucent)
{
    m_translucent = translucent;
    update();
}

QString NavigationBar::title() const
{
    return m_titleLabel->text();
}

QWidget *NavigationBar::leftView() const
{
    return m_leftView;
}

QWidget *NavigationBar::rightView() const
{
    return m_rightView;
}

void NavigationBar::setItems(const QString &title, BarButtonItem *left, BarButtonItem *right,
                             const QString &backTitle)
{
    releaseCustomViews();
    m_titleLabel->setText(title);
    m_leftItem = left;
    m_rightItem = right;
    m_leftView = viewFor(left, m_leftButton);
    m_rightView = viewFor(right, m_rightButton);
    m_backButton->setVisible(!left && !backTitle.isEmpty());
    m_backButton->setText(backTitle);
    layoutItems();
}

QWidget *NavigationBar::viewFor(BarButtonItem *item, QToolButton *button)
{
    button->hide();
    if (!item)
        return nullptr;
    if (QWidget *custom = item->customView()) {
        custom->setParent(this);
        custom->show();
        return custom;
    }
    button->setText(item->title());
    button->show();
    return button;
}

void NavigationBar::releaseCustomViews()
{
    for (QWidget *view : {m_leftView.data(), m_rightView.data()}) {
        if (view && view != m_leftButton && view != m_rightButton) {
            view->hide();
            view->setParent(nullptr);
        }
    }
}

void NavigationBar::applyTint()
{
    // Bar buttons have no frame of their own; keyboard focus shows as one in the tint colour.
    const QString buttonStyle =
        QStringLiteral("QToolButton { color: %1; border: 2px solid transparent; "
                       "border-radius: 8px; font-size: 17px; padding: 0 4px; } "
                       "QToolButton:focus { border-color: %1; }")
            .arg(m_tintColor.name());
    for (QToolButton *button : {m_leftButton, m_rightButton, m_backButton})
        button->setStyleSheet(buttonStyle);
    m_backButton->setIcon(chevron(m_tintColor));
    QPalette palette = m_titleLabel->palette();
    palette.setColor(QPalette::WindowText, m_titleColor);
    m_titleLabel->setPalette(palette);
    layoutItems();
}

void NavigationBar::layoutItems()
{
    auto place = [this](QWidget *view, bool left) {
        if (!view || view->isHidden())
            return 0;
        const QSize size = view == m_leftButton || view == m_rightButton || view == m_backButton
                               ? QSize(view->sizeHint().width(), kHeight)
                           : view->size().isEmpty() ? view->sizeHint()
                                                    : view->size();
        const int x = left ? kSideMargin : width() - kSideMargin - size.width();
        view->setGeometry(x, (kHeight - size.height()) / 2, size.width(), size.height());
        return size.width();
    };
    const int leftWidth = std::max(place(m_leftView, true),
                                   place(m_backButton->isHidden() ? nullptr : m_backButton, true));
    const int rightWidth = place(m_rightView, false);
    const int side = kSideMargin + std::max(leftWidth, rightWidth) + kTitleGap;
    m_titleLabel->setGeometry(side, 0, std::max(0, width() - 2 * side), kHeight);
}

void NavigationBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutItems();
}

void NavigationBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QColor background = m_barTintColor;
    if (m_translucent)
        background.setAlphaF(0.85F);
    painter.fillRect(rect(), background);
    painter.fillRect(QRect(0, height() - 1, width(), 1), QColor(0, 0, 0, 50));
}

} // namespace corvane
