#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <chrono>
#include <functional>
#include <http_parser.h>

class QTcpSocket;

namespace corvane {

// One client of the demo service: reads its requests with http_parser, hands each complete one
// to the server and writes the answer, keeping the connection only while the client wants it.
// A client cannot make it hold more than the body limit, nor keep it waiting for a request
// longer than the idle time (however slowly the bytes trickle in).
class HttpConnection final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpConnection)

public:
    struct Request
    {
        QByteArray method;
        // Without the query.
        QByteArray path;
        QByteArray body;
        // Who asked, as IPv4 where it is one.
        QHostAddress peer;
    };
    struct Response
    {
        int status = 200;
        QByteArray contentType;
        QByteArray body;
    };
    using Handler = std::function<Response(const Request &request)>;
    struct Limits
    {
        qint64 maxBodyBytes = 0;
        // From the connection's start, or its last answer, to a whole request.
        std::chrono::milliseconds idle{0};
    };

    // Takes `socket` over and ends with it.
    HttpConnection(QTcpSocket *socket, Handler handler, Limits limits, QObject *parent);
    ~HttpConnection() override;

private:
    static const http_parser_settings &callbacks();
    static HttpConnection &of(http_parser *parser);

    void read();
    void answer(const Response &response, bool keepAlive);
    // Answers with `status` and no body, and closes.
    void refuse(int status);
    void startIdleWait();

    QTcpSocket *m_socket;
    Handler m_handler;
    Limits m_limits;
    http_parser m_parser{};
    Request m_request;
    bool m_tooLarge = false;
    bool m_closing = false;
    // Tells the idle wait still pending from the ones an answer has replaced.
    quint64 m_idleWait = 0;
};

} // namespace corvane
