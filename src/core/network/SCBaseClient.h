#pragma once

#include "core/network/SCNetError.h"

#include <QObject>
#include <QPointer>
#include <any>
#include <functional>

namespace corvane {

// Base of the per-screen service clients. The screen owns its client; the client only watches
// its screen, so it never keeps it alive, and outcomes that arrive after the screen has gone
// are dropped.
class SCBaseClient : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCBaseClient)

public:
    using SuccessBlock = std::function<void(const std::any &payload)>;
    using FailureBlock = std::function<void(const SCNetError &error)>;

    // A client always has an owner.
    explicit SCBaseClient(QObject &viewController);
    ~SCBaseClient() override;

    QPointer<QObject> viewController;
    SuccessBlock successBlock;
    FailureBlock failureBlock;

protected:
    // Calls the callback installed at this moment, if any and if the owner is still there.
    void deliverSuccess(const std::any &payload);
    void deliverFailure(const SCNetError &error);
};

// Wraps `fn` so that it holds `owner` weakly and does nothing once the owner is gone:
// client->successBlock = weakly(this, [](MyScreen &self, const std::any &p) { ... });
template <class Owner, class Fn> auto weakly(Owner *owner, Fn fn)
{
    return [guard = QPointer<Owner>(owner), fn = std::move(fn)](auto &&...args) {
        if (guard)
            fn(*guard, std::forward<decltype(args)>(args)...);
    };
}

} // namespace corvane
