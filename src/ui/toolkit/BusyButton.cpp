#include "ui/toolkit/BusyButton.h"

#include "ui/feedback/views/ActivityIndicator.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace corvane {

namespace {

constexpr int kIndicatorSize = 20;
constexpr int kIndicatorMargin = 16;

// A button as assistive technology sees any button (its title, the press action), and busy
// while the button says so.
class BusyButtonAccessible final : public QAccessibleWidget
{
public:
    explicit BusyButtonAccessible(BusyButton *button)
        : QAccessibleWidget(button, QAccessible::Button)
    {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && button()->accessibleName().isEmpty())
            return button()->text().remove(u'&');
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.busy = button()->isBusy();
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &name) override
    {
        if (name == pressAction() && button()->isEnabled())
            button()->click();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    BusyButton *button() const { return static_cast<BusyButton *>(widget()); }
};

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    if (className == QLatin1String(BusyButton::staticMetaObject.className()) &&
        object->isWidgetType())
        return new BusyButtonAccessible(static_cast<BusyButton *>(object));
    return nullptr;
}

} // namespace

BusyButton::BusyButton(QWidget *parent)
    : QPushButton(parent), m_indicator(new ActivityIndicator(this))
{
    static const bool installed = [] {
        QAccessible::installFactory(&accessibleFor);
        return true;
    }();
    Q_UNUSED(installed)
    m_indicator->setAccessibleName(QStringLiteral("正在处理"));
    placeIndicator();
}

BusyButton::~BusyButton() = default;

void BusyButton::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    if (busy)
        m_indicator->startAnimating();
    else
        m_indicator->stopAnimating();
    QAccessible::State changed;
    changed.busy = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void BusyButton::resizeEvent(QResizeEvent *event)
{
    QPushButton::resizeEvent(event);
    placeIndicator();
}

void BusyButton::placeIndicator()
{
    m_indicator->setGeometry(kIndicatorMargin, (height() - kIndicatorSize) / 2, kIndicatorSize,
                             kIndicatorSize);
}

} // namespace corvane
