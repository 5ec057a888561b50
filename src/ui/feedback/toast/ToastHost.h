#pragma once

#include "ui/feedback/toast/ToastStyle.h"
#include "ui/feedback/toast/ToastTypes.h"

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointF>
#include <QPointer>
#include <optional>

class QWidget;

namespace corvane {

// The toasts of one host view: those on screen, those waiting, and the activity overlay. It is
// attached to the host (a child object), so the bookkeeping lives exactly as long as the view.
class ToastHost final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToastHost)

public:
    static ToastHost *of(QWidget *host);
    static ToastHost *find(const QWidget *host);

    QWidget *hostView() const;

    // Builds and shows a toast centred at `point` (host coordinates). With message, title and
    // image all absent nothing is shown and one error line goes to standard output.
    void makeToast(const std::optional<QString> &message, double duration, QPointF point,
                   const std::optional<QString> &title, const QPixmap &image,
                   const ToastStyle &style, ToastCompletion completion = {});
    void makeToast(const std::optional<QString> &message, double duration, ToastPosition position,
                   const std::optional<QString> &title, const QPixmap &image,
                   const ToastStyle &style, ToastCompletion completion = {});

    // Shows an already built toast (a child of the host); queued when queueing is on and another
    // toast is showing.
    void showToast(QWidget *toast, double duration, QPointF point, ToastCompletion completion = {});
    void showToast(QWidget *toast, double duration, ToastPosition position,
                   ToastCompletion completion = {});

    void hideToast();
    void hideToast(QWidget *toast);
    void hideAllToasts(bool includeActivity = false, bool clearQueue = true);
    void clearToastQueue();

    void makeToastActivity(ToastPosition position);
    void makeToastActivity(QPointF point);
    void hideToastActivity();

    QList<QWidget *> activeToasts() const;
    QList<QWidget *> queue() const;
    QWidget *activityView() const { return m_activityView; }

    // Centre of a toast of `toastSize` at `position` in the host.
    QPointF centerPoint(ToastPosition position, QSizeF toastSize) const;

    // The handlers of a tap on a toast and of its display timer running out.
    void handleToastTapped(QWidget *toast);
    void toastTimerDidFinish(QWidget *toast);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit ToastHost(QWidget *host);
    void present(QWidget *toast, double duration, QPointF point);
    void hide(QWidget *toast, bool fromTap);
    void finishHiding(QWidget *toast, bool fromTap);
    void keepCentred(QSize oldSize, QSize newSize);

    QWidget *m_host;
    QList<QPointer<QWidget>> m_activeToasts;
    QList<QPointer<QWidget>> m_queue;
    QPointer<QWidget> m_activityView;
};

} // namespace corvane
