#include "RawHttpServer.h"

#include <QTcpSocket>

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
    m_status = status;
    m_body = body;
    m_contentType = contentType;
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

        if (m_mode == Mode::NeverAnswer)
            return;
        const QByteArray reason = m_status == 200 ? "OK" : "Status";
        QByteArray head = "HTTP/1.1 " + QByteArray::number(m_status) + ' ' + reason + "\r\n";
        if (!m_contentType.isEmpty())
            head += "Content-Type: " + m_contentType + "\r\n";
        head += "Content-Length: " + QByteArray::number(m_body.size()) +
                "\r\nConnection: close\r\n\r\n";
        socket->write(head);
        socket->write(m_mode == Mode::CloseMidBody ? m_body.left(m_body.size() / 2) : m_body);
        socket->disconnectFromHost();
    });
}
