#pragma once

#include <QNetworkReply>
#include <QPointer>

namespace corvane {

// Handle on a request in flight. Dropping it does not stop the request; cancel() ends it, and
// its completion still runs, once, reporting the cancel.
class HttpTask final
{
public:
    HttpTask() = default;
    explicit HttpTask(QNetworkReply *reply) : m_reply(reply) {}

    void cancel();
    bool isRunning() const;

private:
    QPointer<QNetworkReply> m_reply;
};

} // namespace corvane
