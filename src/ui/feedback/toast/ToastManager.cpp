#include "ui/feedback/toast/ToastManager.h"

#include "ui/common/Helpers.h"

namespace corvane {

ToastManager::ToastManager()
{
    style.titleFont = boldSystemFont(16);
    style.messageFont = systemFont(16);
}

ToastManager &ToastManager::shared()
{
    static ToastManager manager;
    return manager;
}

} // namespace corvane
