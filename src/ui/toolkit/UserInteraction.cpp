#include "ui/toolkit/UserInteraction.h"

#include <QVariant>
#include <QWidget>

namespace corvane {

namespace {
constexpr const char *savedFocusPolicy = "corvaneSavedFocusPolicy";
} // namespace

void setUserInteractionEnabled(QWidget *view, bool enabled)
{
    if (enabled == isUserInteractionEnabled(view))
        return;
    view->setAttribute(Qt::WA_TransparentForMouseEvents, !enabled);
    if (enabled) {
        view->setFocusPolicy(
            static_cast<Qt::FocusPolicy>(view->property(savedFocusPolicy).toInt()));
        return;
    }
    view->setProperty(savedFocusPolicy, static_cast<int>(view->focusPolicy()));
    view->setFocusPolicy(Qt::NoFocus);
    view->clearFocus();
}

bool isUserInteractionEnabled(const QWidget *view)
{
    return !view->testAttribute(Qt::WA_TransparentForMouseEvents);
}

} // namespace corvane
