#pragma once

#include "platform/http/HttpReply.h"
#include "platform/http/HttpRequest.h"
#include "platform/http/HttpTask.h"

#include <QObject>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace corvane {

// The application's one HTTP session. Every request ends in exactly one call of its
// completion, on the main thread and never from inside send() or cancel().
class HttpClient final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpClient)

public:
    using Completion = std::function<void(const HttpReply &)>;

    explicit HttpClient(QObject *parent = nullptr);
    ~HttpClient() override;

    static HttpClient &shared();

    HttpTask send(const HttpRequest &request, Completion completion);

private:
    void finish(QNetworkReply *reply, const Completion &completion);

    QNetworkAccessManager *m_manager;
};

} // namespace corvane
