#include "platform/http/HttpClient.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QUrlQuery>

namespace corvane {

namespace {

QByteArray verb(HttpMethod method)
{
    switch (method) {
    case HttpMethod::Get:
        return "GET";
    case HttpMethod::Post:
        return "POST";
    case HttpMethod::Put:
        return "PUT";
    case HttpMethod::Patch:
        return "PATCH";
    case HttpMethod::Delete:
        return "DELETE";
    case HttpMethod::Head:
        return "HEAD";
    }
    return "GET";
}

// Qt reports HTTP error statuses as reply errors; those replies were still read to the end.
bool isHttpStatusError(QNetworkReply::NetworkError e)
{
    using E = QNetworkReply::NetworkError;
    return (e >= E::ContentAccessDenied && e <= E::UnknownContentError &&
            e != E::ContentReSendError) ||
           (e >= E::InternalServerError && e <= E::UnknownServerError) ||
           e == E::ProtocolInvalidOperationError;
}

} // namespace

HttpClient::HttpClient(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{}

HttpClient::~HttpClient() = default;

HttpClient &HttpClient::shared()
{
    // Owned by the application object, so it goes before Qt's own teardown.
    static QPointer<HttpClient> client;
    if (!client)
        client = new HttpClient(QCoreApplication::instance());
    return *client;
}

HttpTask HttpClient::send(const HttpRequest &request, Completion completion)
{
    QUrl url = request.url;
    QByteArray body;
    if (request.parameters) {
        if (request.encoding == ParameterEncoding::JsonBody) {
            body = QJsonDocument(*request.parameters).toJson(QJsonDocument::Compact);
        } else {
            QUrlQuery query(url);
            for (auto it = request.parameters->begin(); it != request.parameters->end(); ++it) {
                const QJsonValue v = it.value();
                const QString text = v.isString()   ? v.toString()
                                     : v.isDouble() ? QString::number(v.toDouble(), 'g', 17)
                                     : v.isBool()
                                         ? QString::fromLatin1(v.toBool() ? "true" : "false")
                                         : QString();
                query.addQueryItem(it.key(), text);
            }
            url.setQuery(query);
        }
    }

    QNetworkRequest networkRequest(url);
    for (const auto &[name, value] : request.headers)
        networkRequest.setRawHeader(name, value);
    networkRequest.setTransferTimeout(static_cast<int>(request.timeout.count()));

    QNetworkReply *reply = m_manager->sendCustomRequest(networkRequest, verb(request.method), body);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, completion = std::move(completion)] { finish(reply, completion); });
    return HttpTask(reply);
}

void HttpClient::finish(QNetworkReply *reply, const Completion &completion)
{
    HttpReply result;
    const auto error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        result.statusCode = status.toInt();
    result.cancelled = reply->property("corvaneCancelled").toBool();
    result.transportFailed = result.cancelled || !(error == QNetworkReply::NoError ||
                                                   (status.isValid() && isHttpStatusError(error)));
    result.errorString = error == QNetworkReply::NoError ? QString() : reply->errorString();
    result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    if (reply->isOpen())
        result.body = reply->readAll();
    reply->deleteLater();

    // Queued so that a cancel() never calls back into its caller.
    QMetaObject::invokeMethod(
        this, [completion, result = std::move(result)] { completion(result); },
        Qt::QueuedConnection);
}

} // namespace corvane
