#pragma once

#include "ui/feedback/toast/ToastTypes.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <optional>

class QPropertyAnimation;

namespace corvane {

// The bookkeeping a toast view carries: its completion, the token of its display timer, the
// duration and point it waits with in a queue, and the fade running on it.
class ToastAttachment final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToastAttachment)

public:
    static ToastAttachment *of(QWidget *toast);
    static ToastAttachment *find(const QWidget *toast);

    ToastCompletion completion;
    // Deleting the token cancels the pending timer step.
    QPointer<QObject> timer;
    std::optional<double> duration;
    std::optional<QPointF> point;
    QPointer<QPropertyAnimation> fade;
    bool hiding = false;

private:
    explicit ToastAttachment(QWidget *toast);
};

} // namespace corvane
