#pragma once

#include "platform/tunnel/TunnelError.h"
#include "platform/tunnel/TunnelProfile.h"

#include <QList>
#include <QObject>
#include <functional>
#include <optional>

namespace corvane {

// The per-user store of this application's tunnel profiles. Requests are carried out in the
// order they are issued and every completion arrives later on the main thread, never from
// inside the call that issued it.
class TunnelProfileStore : public QObject
{
    Q_OBJECT

public:
    // No list at all (with an error) when the store cannot be read.
    using LoadCompletion = std::function<void(std::optional<QList<TunnelProfilePtr>> profiles,
                                              std::optional<TunnelError> error)>;
    using Completion = std::function<void(std::optional<TunnelError> error)>;

    using QObject::QObject;
    Q_DISABLE_COPY_MOVE(TunnelProfileStore)

    virtual void loadAll(LoadCompletion completion) = 0;
    virtual void save(const TunnelProfilePtr &profile, Completion completion) = 0;
    virtual void reload(const TunnelProfilePtr &profile, Completion completion) = 0;
    virtual void remove(const TunnelProfilePtr &profile, Completion completion) = 0;
    // A new profile with a fresh identifier and its connection; not stored until saved.
    virtual TunnelProfilePtr makeProfile() = 0;

Q_SIGNALS:
    // Another process may have started or stopped a tunnel, or created the first profile:
    // whoever follows the tunnel looks at the store again.
    void changedElsewhere();

protected:
    // Queues `fn` behind the completions already queued, so they run in issue order.
    void deliver(std::function<void()> fn);
};

} // namespace corvane
