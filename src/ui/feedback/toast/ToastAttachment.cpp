#include "ui/feedback/toast/ToastAttachment.h"

#include <QWidget>

namespace corvane {

ToastAttachment::ToastAttachment(QWidget *toast) : QObject(toast) {}

ToastAttachment *ToastAttachment::of(QWidget *toast)
{
    if (ToastAttachment *existing = find(toast))
        return existing;
    return new ToastAttachment(toast);
}

ToastAttachment *ToastAttachment::find(const QWidget *toast)
{
    return toast ? toast->findChild<ToastAttachment *>(QString(), Qt::FindDirectChildrenOnly)
                 : nullptr;
}

} // namespace corvane
