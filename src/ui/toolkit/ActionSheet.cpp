#include "ui/toolkit/ActionSheet.h"

#include "ui/toolkit/ViewController.h"

#include <QEasingCurve>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace corvane {

namespace {
constexpr int kMargin = 8;

QFrame *makeGroup(QWidget *parent)
{
    auto *group = new QFrame(parent);
    group->setObjectName(QStringLiteral("actionGroup"));
    group->setStyleSheet(
        QStringLiteral("QFrame#actionGroup { background: white; border-radius: 13px; }"));
    auto *layout = new QVBoxLayout(group);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return group;
}

QLabel *makeCaption(const QString &text, bool bold, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #8F8F8F; font-size: 13px; padding: 4px 16px; %1")
                             .arg(bold ? QStringLiteral("font-weight: bold;") : QString()));
    return label;
}
} // namespace

ActionSheet::ActionSheet(const QString &title, const QString &message, QWidget *parent)
    : QWidget(parent), m_title(title), m_message(message), m_animation(new QVariantAnimation(this))
{
    hide();
    m_animation->setDuration(static_cast<int>(kDuration.count()));
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { applyProgress(value.toDouble()); });
    connect(m_animation, &QVariantAnimation::finished, this, [this] {
        if (!m_closing)
            return;
        hide();
        // Hiding moved the keyboard to the first control of the screen; the next key belongs
        // where the sheet was opened from.
        if (m_returnFocus && m_returnFocus->isVisible() && m_returnFocus->isEnabled())
            m_returnFocus->setFocus(Qt::OtherFocusReason);
        deleteLater();
        if (m_chosen >= 0 && m_actions.at(m_chosen).handler)
            m_actions.at(m_chosen).handler();
    });
}

ActionSheet::~ActionSheet()
{
    if (m_host)
        m_host->removeEventFilter(this);
}

void ActionSheet::addAction(AlertAction action)
{
    m_actions.append(std::move(action));
}

QPushButton *ActionSheet::buttonForAction(int index) const
{
    return index >= 0 && index < m_buttons.size() ? m_buttons.at(index) : nullptr;
}

QWidget *ActionSheet::buildPanel()
{
    auto *panel = new QWidget(this);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kMargin);
    QFrame *choices = makeGroup(panel);
    QFrame *cancel = makeGroup(panel);
    if (!m_title.isEmpty() || !m_message.isEmpty()) {
        auto *captions = new QWidget(choices);
        auto *captionLayout = new QVBoxLayout(captions);
        captionLayout->setContentsMargins(0, 10, 0, 10);
        if (!m_title.isEmpty())
            captionLayout->addWidget(makeCaption(m_title, true, captions));
        if (!m_message.isEmpty())
            captionLayout->addWidget(makeCaption(m_message, false, captions));
        choices->layout()->addWidget(captions);
    }
    for (qsizetype i = 0; i < m_actions.size(); ++i) {
        const AlertAction &action = m_actions.at(i);
        const bool isCancel = action.style == AlertAction::Style::Cancel;
        QFrame *group = isCancel ? cancel : choices;
        auto *button = new QPushButton(action.title, group);
        const bool first = group->layout()->count() == 0;
        button->setStyleSheet(
            QStringLiteral("QPushButton { border: none; %1 background: transparent; color: %2; "
                           "font-size: 20px; %3 min-height: 57px; } "
                           "QPushButton:focus, QPushButton:pressed { background: #E5E5EA; }")
                .arg(first ? QString() : QStringLiteral("border-top: 1px solid #DBDBDB;"),
                     action.style == AlertAction::Style::Destructive ? QStringLiteral("#FF3B30")
                                                                     : QStringLiteral("#007AFF"),
                     isCancel ? QStringLiteral("font-weight: bold;") : QString()));
        button->setFocusPolicy(Qt::StrongFocus);
        button->installEventFilter(this);
        const int index = static_cast<int>(i);
        connect(button, &QPushButton::clicked, this, [this, index] { choose(index); });
        group->layout()->addWidget(button);
        m_buttons.append(button);
    }
    layout->addWidget(choices);
    layout->addWidget(cancel);
    choices->setVisible(choices->layout()->count() > 0);
    cancel->setVisible(cancel->layout()->count() > 0);
    return panel;
}

void ActionSheet::present(QWidget *host, bool animated)
{
    if (!host || m_panel)
        return;
    m_host = ViewController::presentationHost(host);
    m_returnFocus = m_host->window()->focusWidget();
    setParent(m_host);
    m_host->installEventFilter(this);
    m_panel = buildPanel();
    setGeometry(m_host->rect());
    applyProgress(0.0);
    show();
    raise();
    moveFocus(0);
    if (!animated) {
        applyProgress(1.0);
        return;
    }
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->start();
}

void ActionSheet::choose(int index)
{
    if (m_closing || index < 0 || index >= m_actions.size())
        return;
    m_closing = true;
    m_chosen = index;
    m_animation->stop();
    m_animation->setStartValue(m_progress);
    m_animation->setEndValue(0.0);
    m_animation->start();
}

void ActionSheet::chooseCancel()
{
    for (qsizetype i = 0; i < m_actions.size(); ++i) {
        if (m_actions.at(i).style == AlertAction::Style::Cancel) {
            choose(static_cast<int>(i));
            return;
        }
    }
}

void ActionSheet::applyProgress(double progress)
{
    m_progress = progress;
    if (m_panel) {
        const int panelWidth = width() - 2 * kMargin;
        const int panelHeight = m_panel->layout()->hasHeightForWidth()
                                    ? m_panel->layout()->heightForWidth(panelWidth)
                                    : m_panel->sizeHint().height();
        const int shown = height() - kMargin - panelHeight;
        const int y = shown + static_cast<int>((1.0 - progress) * (panelHeight + kMargin));
        m_panel->setGeometry(kMargin, y, panelWidth, panelHeight);
    }
    update();
}

void ActionSheet::moveFocus(int step)
{
    // Visual order: the choices, then the cancel action beneath them.
    QList<QPushButton *> order;
    for (qsizetype i = 0; i < m_actions.size(); ++i) {
        if (m_actions.at(i).style != AlertAction::Style::Cancel)
            order.append(m_buttons.at(i));
    }
    for (qsizetype i = 0; i < m_actions.size(); ++i) {
        if (m_actions.at(i).style == AlertAction::Style::Cancel)
            order.append(m_buttons.at(i));
    }
    if (order.isEmpty())
        return;
    const qsizetype current = order.indexOf(qobject_cast<QPushButton *>(focusWidget()));
    const qsizetype count = order.size();
    const qsizetype next = current < 0 ? 0 : ((current + step) % count + count) % count;
    order.at(next)->setFocus(Qt::TabFocusReason);
}

bool ActionSheet::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host && event->type() == QEvent::Resize) {
        setGeometry(m_host->rect());
        applyProgress(m_progress);
    } else if (auto *button = qobject_cast<QPushButton *>(watched);
               button && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            moveFocus(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            choose(static_cast<int>(m_buttons.indexOf(button)));
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ActionSheet::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, static_cast<int>(100 * m_progress)));
}

void ActionSheet::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (m_panel && !m_panel->geometry().contains(event->position().toPoint()))
        chooseCancel();
}

void ActionSheet::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    if (event->key() == Qt::Key_Escape)
        chooseCancel();
}

} // namespace corvane
