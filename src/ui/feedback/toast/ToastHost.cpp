#include "ui/feedback/toast/ToastHost.h"

#include "platform/scheduling/Scheduler.h"
#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/toast/ToastAttachment.h"
#include "ui/feedback/toast/ToastBuilder.h"
#include "ui/feedback/toast/ToastManager.h"

#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QResizeEvent>
#include <QWidget>
#include <cmath>
#include <cstdio>

namespace corvane {

namespace {

void printLine(const char *line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void moveCenter(QWidget *view, QPointF center)
{
    view->move(int(std::lround(center.x() - view->width() / 2.0)),
               int(std::lround(center.y() - view->height() / 2.0)));
}

QList<QWidget *> alive(const QList<QPointer<QWidget>> &list)
{
    QList<QWidget *> result;
    for (const QPointer<QWidget> &view : list) {
        if (view)
            result.append(view);
    }
    return result;
}

// Fades `view`'s layer to `alpha` from wherever it is now.
QPropertyAnimation *fade(QObject *owner, QWidget *view, qreal alpha, QEasingCurve::Type curve)
{
    ViewDecoration *layer = ViewDecoration::of(view);
    auto *animation = new QPropertyAnimation(layer, "alpha", owner);
    animation->setDuration(int(std::lround(ToastManager::shared().style.fadeDuration * 1000)));
    animation->setEasingCurve(curve);
    animation->setStartValue(layer->alpha());
    animation->setEndValue(alpha);
    return animation;
}

} // namespace

ToastHost::ToastHost(QWidget *host) : QObject(host), m_host(host)
{
    host->installEventFilter(this);
}

ToastHost *ToastHost::of(QWidget *host)
{
    if (ToastHost *existing = find(host))
        return existing;
    return new ToastHost(host);
}

ToastHost *ToastHost::find(const QWidget *host)
{
    return host ? host->findChild<ToastHost *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QWidget *ToastHost::hostView() const
{
    return m_host;
}

void ToastHost::makeToast(const std::optional<QString> &message, double duration, QPointF point,
                          const std::optional<QString> &title, const QPixmap &image,
                          const ToastStyle &style, ToastCompletion completion)
{
    const auto built = ToastBuilder::toastView(m_host, message, title, image, style);
    if (std::holds_alternative<ToastError>(built)) {
        printLine("Error: message, title, and image cannot all be nil");
        return;
    }
    showToast(std::get<QWidget *>(built), duration, point, std::move(completion));
}

void ToastHost::makeToast(const std::optional<QString> &message, double duration,
                          ToastPosition position, const std::optional<QString> &title,
                          const QPixmap &image, const ToastStyle &style, ToastCompletion completion)
{
    const auto built = ToastBuilder::toastView(m_host, message, title, image, style);
    if (std::holds_alternative<ToastError>(built)) {
        printLine("Error: message, title, and image are all nil");
        return;
    }
    QWidget *toast = std::get<QWidget *>(built);
    showToast(toast, duration, position, std::move(completion));
}

void ToastHost::showToast(QWidget *toast, double duration, ToastPosition position,
                          ToastCompletion completion)
{
    showToast(toast, duration, centerPoint(position, toast->size()), std::move(completion));
}

void ToastHost::showToast(QWidget *toast, double duration, QPointF point,
                          ToastCompletion completion)
{
    ToastAttachment *attachment = ToastAttachment::of(toast);
    attachment->completion = std::move(completion);
    if (toast->parentWidget() != m_host)
        toast->setParent(m_host);
    if (ToastManager::shared().isQueueEnabled && !activeToasts().isEmpty()) {
        attachment->duration = duration;
        attachment->point = point;
        toast->hide();
        m_queue.append(toast);
        return;
    }
    present(toast, duration, point);
}

QPointF ToastHost::centerPoint(ToastPosition position, QSizeF toastSize) const
{
    // A desktop window has no safe-area insets to keep clear of.
    const qreal padding = ToastManager::shared().style.verticalPadding;
    const QSizeF bounds = m_host->size();
    switch (position) {
    case ToastPosition::top:
        return {bounds.width() / 2, toastSize.height() / 2 + padding};
    case ToastPosition::bottom:
        return {bounds.width() / 2, bounds.height() - toastSize.height() / 2 - padding};
    case ToastPosition::center:
        break;
    }
    return {bounds.width() / 2, bounds.height() / 2};
}

void ToastHost::present(QWidget *toast, double duration, QPointF point)
{
    ToastAttachment *attachment = ToastAttachment::of(toast);
    moveCenter(toast, point);
    ViewDecoration::of(toast)->setAlpha(0);
    if (ToastManager::shared().isTapToDismissEnabled)
        toast->installEventFilter(this);
    m_activeToasts.append(toast);
    toast->show();
    toast->raise();

    QPropertyAnimation *fadeIn = fade(this, toast, 1, QEasingCurve::OutQuad);
    const QPointer<QWidget> guard(toast);
    connect(fadeIn, &QPropertyAnimation::finished, this, [this, guard, duration] {
        if (!guard)
            return;
        ToastAttachment *state = ToastAttachment::of(guard);
        auto *token = new QObject(state);
        state->timer = token;
        delay(Scheduler::Duration(duration), token, [this, guard] {
            if (guard)
                toastTimerDidFinish(guard);
        });
    });
    attachment->fade = fadeIn;
    fadeIn->start(QAbstractAnimation::DeleteWhenStopped);
}

void ToastHost::toastTimerDidFinish(QWidget *toast)
{
    if (m_activeToasts.contains(toast))
        hide(toast, false);
}

void ToastHost::handleToastTapped(QWidget *toast)
{
    hide(toast, true);
}

void ToastHost::hideToast()
{
    const QList<QWidget *> active = activeToasts();
    if (!active.isEmpty())
        hide(active.first(), false);
}

void ToastHost::hideToast(QWidget *toast)
{
    if (toast && m_activeToasts.contains(toast))
        hide(toast, false);
}

void ToastHost::hide(QWidget *toast, bool fromTap)
{
    ToastAttachment *attachment = ToastAttachment::of(toast);
    // A second tap during the fade-out must not end the toast (and call its completion) twice.
    if (attachment->hiding)
        return;
    attachment->hiding = true;
    delete attachment->timer.data();
    if (attachment->fade)
        attachment->fade->stop();

    QPropertyAnimation *fadeOut = fade(this, toast, 0, QEasingCurve::InQuad);
    const QPointer<QWidget> guard(toast);
    connect(fadeOut, &QPropertyAnimation::finished, this, [this, guard, fromTap] {
        if (guard)
            finishHiding(guard, fromTap);
    });
    attachment->fade = fadeOut;
    fadeOut->start(QAbstractAnimation::DeleteWhenStopped);
}

void ToastHost::finishHiding(QWidget *toast, bool fromTap)
{
    const ToastCompletion completion = ToastAttachment::of(toast)->completion;
    m_activeToasts.removeAll(toast);
    delete toast;
    if (completion)
        completion(fromTap);

    while (!m_queue.isEmpty()) {
        const QPointer<QWidget> next = m_queue.takeFirst();
        ToastAttachment *state = ToastAttachment::find(next);
        if (!state || !state->duration || !state->point)
            continue;
        present(next, *state->duration, *state->point);
        break;
    }
}

void ToastHost::hideAllToasts(bool includeActivity, bool clearQueue)
{
    if (clearQueue)
        clearToastQueue();
    for (QWidget *toast : activeToasts())
        hide(toast, false);
    if (includeActivity)
        hideToastActivity();
}

void ToastHost::clearToastQueue()
{
    // Queued toasts were never shown; they go with the queue.
    const QList<QWidget *> waiting = queue();
    m_queue.clear();
    qDeleteAll(waiting);
}

void ToastHost::makeToastActivity(ToastPosition position)
{
    const ToastStyle &style = ToastManager::shared().style;
    makeToastActivity(centerPoint(position, style.activitySize + QSizeF(60, 60)));
}

void ToastHost::makeToastActivity(QPointF point)
{
    if (m_activityView)
        return;
    QWidget *overlay =
        ToastBuilder::activityView(m_host, std::nullopt, ToastManager::shared().style);
    moveCenter(overlay, point);
    m_activityView = overlay;
    ViewDecoration::of(overlay)->setAlpha(0);
    overlay->show();
    overlay->raise();
    fade(this, overlay, 1, QEasingCurve::OutQuad)->start(QAbstractAnimation::DeleteWhenStopped);
}

void ToastHost::hideToastActivity()
{
    if (!m_activityView)
        return;
    const QPointer<QWidget> overlay = m_activityView;
    QPropertyAnimation *fadeOut = fade(this, overlay, 0, QEasingCurve::InQuad);
    connect(fadeOut, &QPropertyAnimation::finished, this, [this, overlay] {
        if (m_activityView == overlay)
            m_activityView = nullptr;
        delete overlay.data();
    });
    fadeOut->start(QAbstractAnimation::DeleteWhenStopped);
}

QList<QWidget *> ToastHost::activeToasts() const
{
    return alive(m_activeToasts);
}

QList<QWidget *> ToastHost::queue() const
{
    return alive(m_queue);
}

void ToastHost::keepCentred(QSize oldSize, QSize newSize)
{
    if (oldSize.isEmpty())
        return;
    QList<QWidget *> views = activeToasts();
    if (m_activityView)
        views.append(m_activityView);
    for (QWidget *view : views) {
        const QPointF center = QRectF(view->geometry()).center();
        moveCenter(view, {center.x() * newSize.width() / oldSize.width(),
                          center.y() * newSize.height() / oldSize.height()});
    }
}

bool ToastHost::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host) {
        if (event->type() == QEvent::Resize) {
            const auto *resize = static_cast<QResizeEvent *>(event);
            keepCentred(resize->oldSize(), resize->size());
        }
        return false;
    }
    auto *toast = qobject_cast<QWidget *>(watched);
    if (!toast || !m_activeToasts.contains(toast))
        return false;
    if (event->type() == QEvent::MouseButtonPress)
        return true;
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (toast->rect().contains(mouse->position().toPoint()))
            handleToastTapped(toast);
        return true;
    }
    return false;
}

} // namespace corvane
