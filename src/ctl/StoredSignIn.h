#pragma once

#include "core/model/SCOrderContent.h"
#include "ctl/CtlExit.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace corvane {

class SCLoginClient;
class SCNetError;

// Signs in again with the credentials the last successful sign-in stored, as the sign-in
// screen would with its pre-filled fields, to get the orders and their secrets: corvanectl
// keeps neither on disk.
class StoredSignIn final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StoredSignIn)

public:
    using Orders = std::function<void(const std::shared_ptr<SCOrderContent> &orders)>;
    using Failure = std::function<void(CtlExit code, const QString &message)>;

    explicit StoredSignIn(QObject *parent = nullptr);
    ~StoredSignIn() override;

    // Exactly one of the two runs, later: not signed in (3), refused (4), the service out of
    // reach (7), or the orders.
    void fetch(Orders orders, Failure failure);
    // Between fetch() and its answer.
    bool isWaiting() const { return m_waiting; }

    // A failed sign-in as corvanectl reports it: the service's refusal or the network's fault.
    static CtlFailure failureOf(const SCNetError &error);

private:
    std::unique_ptr<SCLoginClient> m_client;
    bool m_waiting = false;
};

} // namespace corvane
