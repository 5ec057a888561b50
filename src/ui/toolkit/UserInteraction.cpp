#include "ui/toolkit/UserInteraction.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>

namespace corvane {

namespace {

// While a control ignores the user it lets its keys go on to its parent, as if it did not
// handle them, so Tab still moves on and a screen still hears Escape; focus stays where it is.
class KeyPassThrough final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeyPassThrough)

public:
    explicit KeyPassThrough(QWidget *view) : QObject(view)
    {
        setObjectName(QLatin1String(kName));
        view->installEventFilter(this);
    }

    static constexpr const char *kName = "corvaneKeyPassThrough";

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return QObject::eventFilter(watched, event);
        event->ignore();
        return true;
    }
};

KeyPassThrough *passThroughOf(const QWidget *view)
{
    return view->findChild<KeyPassThrough *>(QLatin1String(KeyPassThrough::kName),
                                             Qt::FindDirectChildrenOnly);
}

} // namespace

void setUserInteractionEnabled(QWidget *view, bool enabled)
{
    if (enabled == isUserInteractionEnabled(view))
        return;
    view->setAttribute(Qt::WA_TransparentForMouseEvents, !enabled);
    if (enabled)
        delete passThroughOf(view);
    else
        new KeyPassThrough(view);
}

bool isUserInteractionEnabled(const QWidget *view)
{
    return !view->testAttribute(Qt::WA_TransparentForMouseEvents);
}

bool activateFocusedButton(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    auto *button = qobject_cast<QAbstractButton *>(QApplication::focusWidget());
    if (!button || button->isCheckable() || !button->isEnabled() || !button->isVisible() ||
        !isUserInteractionEnabled(button))
        return false;
    event->accept();
    if (!event->isAutoRepeat())
        button->click();
    return true;
}

} // namespace corvane

#include "UserInteraction.moc"
