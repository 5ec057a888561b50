#include "ui/feedback/toast/ShowToast.h"

#include "platform/scheduling/Scheduler.h"
#include "ui/feedback/placeholder/PlaceholderTags.h"
#include "ui/feedback/toast/ToastHost.h"
#include "ui/feedback/toast/ToastManager.h"
#include "ui/feedback/views/ImageView.h"
#include "ui/toolkit/ViewTag.h"

#include <QPointer>
#include <QWidget>

using namespace std::chrono_literals;

namespace corvane {

void sc_showToast(QWidget *view, const std::optional<QString> &message,
                  std::optional<SCToastKind> kind)
{
    if (!view)
        return;
    ToastHost *host = ToastHost::of(view);
    host->hideToastActivity();

    if (QWidget *loading = findViewWithTag(view, kLoadingViewTag)) {
        const QPointer<QWidget> target(loading);
        const QPointer<QWidget> hostView(view);
        delay(1s, loading, [target, hostView] {
            // The host itself is still held by its caller, so it is only hidden, never freed.
            if (target == hostView)
                target->hide();
            else
                delete target.data();
        });
    }

    QPixmap image;
    if (kind == SCToastKind::success)
        image = ImageView::namedImage(QStringLiteral("toastSuccess"));
    else if (kind == SCToastKind::failure)
        image = ImageView::namedImage(QStringLiteral("toastFail"));

    const ToastManager &manager = ToastManager::shared();
    const QPointF center(view->width() * 0.5, view->height() * 0.5);
    host->makeToast(message, manager.duration, center, std::nullopt, image, manager.style);
}

} // namespace corvane
