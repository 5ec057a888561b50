#include "RawHttpServer.h"

#include <QTcpSocket>
#include <QTimer>

QByteArray RawHttpServer::Received::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

RawHttpServer::RawHttpServer(QObject *parent) : QObject(parent)
{
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection())
            serve(socket);
    });
}

QString RawHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void RawHttpServer::reply(int status, const QByteArray &body, const QByteArray &contentType)
{
    m_default.status = status;
    m_default.body = body;
    m_contentType = contentType;
}

void RawHttpServer::route(const QByteArray &path, int status, const QByteArray &body,
                          const QByteArray &extraHeaders)
{
    m_routes.insert(path, Scripted{status, body, extraHeaders});
}

void RawHttpServer::serve(QTcpSocket *socket)
{
    socket->setParent(this);
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
        buffer->append(socket->readAll());
        const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        Received request;
        const QList<QByteArray> lines = buffer->left(headerEnd).split('\n');
        request.requestLine = lines.value(0).trimmed();
        qsizetype length = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon < 0)
                continue;
            const QByteArray name = lines[i].left(colon).trimmed();
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            request.headers.append({name, value});
            if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                length = value.toLongLong();
        }
        if (buffer->size() < headerEnd + 4 + length)
            return;
        request.body = buffer->mid(headerEnd + 4, length);
        buffer->clear();
        received.append(request);
        answer(socket, request);
    });
}

QByteArray RawHttpServer::head(const Scripted &reply, bool withLength) const
{
    const QByteArray reason = reply.status == 200 ? "OK" : "Status";
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason + "\r\n";
    if (!m_contentType.isEmpty())
        head += "Content-Type: " + m_contentType + "\r\n";
    if (withLength)
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    return head + m_extraHeaders + reply.extraHeaders + "Connection: close\r\n\r\n";
}

void RawHttpServer::answer(QTcpSocket *socket, const Received &request)
{
    const QByteArray path = request.requestLine.split(' ').value(1);
    const Scripted reply = m_routes.value(path, m_default);
    switch (m_mode) {
    case Mode::NeverAnswer:
        return;
    case Mode::Answer:
        socket->write(head(reply, true) + reply.body);
        socket->disconnectFromHost();
        return;
    case Mode::CloseMidBody:
        socket->write(head(reply, true) + reply.body.left(reply.body.size() / 2));
        socket->disconnectFromHost();
        return;
    case Mode::Trickle: {
        socket->write(head(reply, false));
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket] { socket->write(" "); });
        timer->start(m_trickleMs);
        return;
    }
    case Mode::Endless: {
        QByteArray chunked = head(reply, false);
        socket->write(chunked.insert(chunked.size() - 2, "Transfer-Encoding: chunked\r\n"));
        const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, ' ') + "\r\n";
        auto refill = [socket, chunk] {
            if (socket->bytesToWrite() < chunk.size())
                socket->write(chunk);
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, refill);
        refill();
        return;
    }
    }
}
