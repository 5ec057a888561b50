#include "platform/http/HttpClient.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>
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

// "HTTP/1.1 200 OK" and its line break, as counted against the header limit.
constexpr qint64 kStatusLineBytes = 15;

// What Qt may hold of a reply before it is read. Without a bound its network thread reads on
// as fast as the peer sends and queues every block for the main thread, however far past the
// body limit that runs.
constexpr qint64 kReadBufferBytes = 64 * 1024;

} // namespace

// One request in flight: what the limits have let through so far.
struct HttpClient::Transfer
{
    QNetworkReply *reply = nullptr;
    QTimer *deadline = nullptr;
    Completion completion;
    Limits limits;
    QByteArray body;
    // Which limit ended the request, when one did.
    QString exceeded;

    void stopFor(const QString &reason)
    {
        if (!exceeded.isEmpty())
            return;
        exceeded = reason;
        if (reply->isRunning())
            reply->abort();
    }
};

HttpClient::HttpClient(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{}

HttpClient::~HttpClient() = default;

HttpClient &HttpClient::shared()
{
    // Owned by the application object, so it goes before Qt's own teardown, and let go as soon
    // as the event loop ends: torn down any later, Qt's network thread strands the state of a
    // request still in flight.
    static QPointer<HttpClient> client;
    if (!client) {
        QCoreApplication *app = QCoreApplication::instance();
        client = new HttpClient(app);
        connect(app, &QCoreApplication::aboutToQuit, client, &QObject::deleteLater);
    }
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
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                QNetworkRequest::SameOriginRedirectPolicy);

    auto transfer = std::make_shared<Transfer>();
    transfer->completion = std::move(completion);
    transfer->limits = m_limits;
    QNetworkReply *reply =
        managerFor(request)->sendCustomRequest(networkRequest, verb(request.method), body);
    // Qt hands the size on to its network thread only once the request has started there: at
    // once for a request without a body, a turn of the event loop later for one with a body.
    reply->setReadBufferSize(kReadBufferBytes);
    QMetaObject::invokeMethod(
        reply, [reply] { reply->setReadBufferSize(kReadBufferBytes); }, Qt::QueuedConnection);
    transfer->reply = reply;
    transfer->deadline = new QTimer(reply);
    transfer->deadline->setSingleShot(true);
    connect(transfer->deadline, &QTimer::timeout, this, [transfer] {
        transfer->stopFor(QStringLiteral("no complete reply within %1 ms")
                              .arg(transfer->limits.totalDeadline.count()));
    });
    transfer->deadline->start(m_limits.totalDeadline);
    connect(reply, &QNetworkReply::metaDataChanged, this,
            [this, transfer] { watchHeaders(transfer); });
    connect(reply, &QNetworkReply::readyRead, this, [this, transfer] { readBody(transfer); });
    connect(reply, &QNetworkReply::finished, this, [this, transfer] { finish(transfer); });
    return HttpTask(reply);
}

QNetworkAccessManager *HttpClient::managerFor(const HttpRequest &request)
{
    if (!request.httpProxyPort)
        return m_manager;
    QNetworkAccessManager *&manager = m_proxied[*request.httpProxyPort];
    if (!manager) {
        manager = new QNetworkAccessManager(this);
        manager->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"),
                                        *request.httpProxyPort));
    }
    return manager;
}

void HttpClient::watchHeaders(const std::shared_ptr<Transfer> &transfer)
{
    // Qt hands the headers over only once the whole block has arrived; while it is still coming
    // in, the inactivity time-out and the total deadline are what bound it.
    QNetworkReply *reply = transfer->reply;
    qint64 size = kStatusLineBytes +
                  reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray().size();
    for (const auto &[name, value] : reply->rawHeaderPairs())
        size += name.size() + value.size() + 4;
    if (size > transfer->limits.maxHeaderBytes) {
        transfer->stopFor(QStringLiteral("the reply's headers take more than %1 bytes")
                              .arg(transfer->limits.maxHeaderBytes));
        return;
    }
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > transfer->limits.maxBodyBytes) {
        transfer->stopFor(QStringLiteral("the reply announces %1 bytes, more than %2")
                              .arg(length.toLongLong())
                              .arg(transfer->limits.maxBodyBytes));
    }
}

void HttpClient::readBody(const std::shared_ptr<Transfer> &transfer)
{
    QNetworkReply *reply = transfer->reply;
    if (!transfer->exceeded.isEmpty() || !reply->isOpen())
        return;
    if (reply->bytesAvailable() > transfer->limits.maxBodyBytes - transfer->body.size()) {
        transfer->stopFor(QStringLiteral("the reply body takes more than %1 bytes")
                              .arg(transfer->limits.maxBodyBytes));
        return;
    }
    // All the room the limit allows, at once: growing step by step copies the body each time,
    // and the copies count too. Pages not written to take no memory.
    if (transfer->body.capacity() < transfer->limits.maxBodyBytes)
        transfer->body.reserve(transfer->limits.maxBodyBytes);
    transfer->body += reply->readAll();
}

void HttpClient::finish(const std::shared_ptr<Transfer> &transfer)
{
    QNetworkReply *reply = transfer->reply;
    transfer->deadline->stop();
    readBody(transfer);

    HttpReply result;
    const auto error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        result.statusCode = status.toInt();
    if (!transfer->exceeded.isEmpty()) {
        result.transportFailed = true;
        result.errorString = transfer->exceeded;
    } else {
        result.cancelled = reply->property("corvaneCancelled").toBool();
        result.transportFailed =
            result.cancelled ||
            !(error == QNetworkReply::NoError || (status.isValid() && isHttpStatusError(error)));
        result.errorString = error == QNetworkReply::NoError ? QString() : reply->errorString();
        result.body = std::move(transfer->body);
    }
    result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    reply->deleteLater();

    // Queued so that a cancel() never calls back into its caller.
    QMetaObject::invokeMethod(
        this,
        [completion = std::move(transfer->completion), result = std::move(result)] {
            completion(result);
        },
        Qt::QueuedConnection);
}

} // namespace corvane
