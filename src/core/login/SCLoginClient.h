#pragma once

#include "core/network/SCBaseClient.h"

namespace corvane {

// The sign-in: asks the service for the customer's orders. On success the order list becomes
// currentOrderContent and goes to successBlock (as std::shared_ptr<SCOrderContent>); a
// refusal or a failed request goes to failureBlock as it came.
class SCLoginClient final : public SCBaseClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCLoginClient)

public:
    static constexpr auto kPath = "/vpnApp/personal/queryOrder";

    using SCBaseClient::SCBaseClient;
    ~SCLoginClient() override;

    // `password` is already encoded for the wire. Returns at once.
    void login(const QString &mobile, const QString &password);

    // The mobile number and encoded password of the request whose answer the callbacks (or
    // replyWithoutOrders) are hearing: with several requests out, the one that was answered.
    const QString &answeredMobile() const { return m_answeredMobile; }
    const QString &answeredPassword() const { return m_answeredPassword; }

Q_SIGNALS:
    // The service said yes but sent no order list: neither callback runs, so a caller that
    // waits for one hears of it here.
    void replyWithoutOrders();

private:
    void answering(const QString &mobile, const QString &password);

    QString m_answeredMobile;
    QString m_answeredPassword;
};

} // namespace corvane
