#include "HttpConnection.h"

#include "platform/scheduling/Scheduler.h"

#include <QTcpSocket>

namespace corvane {

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Status";
    }
}

} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, Handler handler, Limits limits, QObject *parent)
    : QObject(parent), m_socket(socket), m_handler(std::move(handler)), m_limits(limits)
{
    m_socket->setParent(this);
    http_parser_init(&m_parser, HTTP_REQUEST);
    m_parser.data = this;
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::read);
    connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    startIdleWait();
}

HttpConnection::~HttpConnection() = default;

HttpConnection &HttpConnection::of(http_parser *parser)
{
    return *static_cast<HttpConnection *>(parser->data);
}

const http_parser_settings &HttpConnection::callbacks()
{
    static const http_parser_settings settings = [] {
        http_parser_settings s;
        http_parser_settings_init(&s);
        s.on_message_begin = [](http_parser *parser) {
            HttpConnection &self = of(parser);
            self.m_request = Request{};
            self.m_request.peer = self.m_socket->peerAddress();
            bool mapped = false;
            if (const quint32 v4 = self.m_request.peer.toIPv4Address(&mapped); mapped)
                self.m_request.peer = QHostAddress(v4);
            return 0;
        };
        s.on_url = [](http_parser *parser, const char *at, size_t length) {
            of(parser).m_request.path.append(at, static_cast<qsizetype>(length));
            return 0;
        };
        s.on_headers_complete = [](http_parser *parser) {
            HttpConnection &self = of(parser);
            self.m_tooLarge =
                (parser->flags & F_CONTENTLENGTH) &&
                parser->content_length > static_cast<quint64>(self.m_limits.maxBodyBytes);
            return self.m_tooLarge ? -1 : 0;
        };
        s.on_body = [](http_parser *parser, const char *at, size_t length) {
            HttpConnection &self = of(parser);
            self.m_tooLarge = self.m_request.body.size() + static_cast<qint64>(length) >
                              self.m_limits.maxBodyBytes;
            if (self.m_tooLarge)
                return -1;
            self.m_request.body.append(at, static_cast<qsizetype>(length));
            return 0;
        };
        s.on_message_complete = [](http_parser *parser) {
            HttpConnection &self = of(parser);
            Request &request = self.m_request;
            request.method = http_method_str(static_cast<http_method>(parser->method));
            if (const qsizetype query = request.path.indexOf('?'); query >= 0)
                request.path.truncate(query);
            self.answer(self.m_handler(request), http_should_keep_alive(parser) != 0);
            // Stops at a request pipelined behind the last one.
            return self.m_closing ? -1 : 0;
        };
        return s;
    }();
    return settings;
}

void HttpConnection::read()
{
    if (m_closing)
        return;
    const QByteArray data = m_socket->readAll();
    http_parser_execute(&m_parser, &callbacks(), data.constData(),
                        static_cast<size_t>(data.size()));
    if (m_closing || HTTP_PARSER_ERRNO(&m_parser) == HPE_OK)
        return;
    refuse(m_tooLarge ? 413 : HTTP_PARSER_ERRNO(&m_parser) == HPE_HEADER_OVERFLOW ? 431 : 400);
}

void HttpConnection::answer(const Response &response, bool keepAlive)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                      reasonPhrase(response.status) + "\r\n";
    if (!response.contentType.isEmpty())
        head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    if (!keepAlive)
        head += "Connection: close\r\n";
    m_socket->write(head + "\r\n" + response.body);
    if (!keepAlive) {
        m_closing = true;
        // Sends what is written first.
        m_socket->disconnectFromHost();
        return;
    }
    startIdleWait();
}

void HttpConnection::refuse(int status)
{
    answer(Response{status, {}, {}}, false);
}

void HttpConnection::startIdleWait()
{
    const quint64 wait = ++m_idleWait;
    delay(m_limits.idle, this, [this, wait] {
        if (wait == m_idleWait)
            m_socket->abort();
    });
}

} // namespace corvane
