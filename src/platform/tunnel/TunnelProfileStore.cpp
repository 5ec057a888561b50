#include "platform/tunnel/TunnelProfileStore.h"

namespace corvane {

void TunnelProfileStore::deliver(std::function<void()> fn)
{
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

} // namespace corvane
