// A plain TCP forwarder on Qt's sockets, one of three engines compared by
// scripts/measure-tunnel.sh --engines: QTcpServer and a QTcpSocket pair per connection, with
// Qt's own read and write buffers, reading no more while the other side's write buffer is full.
#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>

namespace {

constexpr qint64 kHighWater = 1 << 16;

void forward(QTcpSocket *from, QTcpSocket *to)
{
    if (to->bytesToWrite() < kHighWater && from->bytesAvailable() > 0)
        to->write(from->read(kHighWater));
}

// The upstream socket is the client's child: the client's end deletes both.
void pipe(QTcpSocket *client, QTcpSocket *upstream)
{
    client->setReadBufferSize(kHighWater);
    upstream->setReadBufferSize(kHighWater);
    for (auto [from, to] : {std::pair{client, upstream}, std::pair{upstream, client}}) {
        QObject::connect(from, &QTcpSocket::readyRead, to, [from, to] { forward(from, to); });
        QObject::connect(to, &QTcpSocket::bytesWritten, from, [from, to] { forward(from, to); });
    }
    QObject::connect(upstream, &QTcpSocket::disconnected, client, [client, upstream] {
        forward(upstream, client);
        client->disconnectFromHost();
    });
    QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const quint16 upstream = static_cast<quint16>(QByteArray(argv[1]).toUInt());
    QTcpServer server;
    server.setMaxPendingConnections(4096);
    server.listen(QHostAddress::LocalHost, 0);
    std::printf("%d\n", server.serverPort());
    std::fflush(stdout);
    QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, &server, [&] {
        while (QTcpSocket *client = server.nextPendingConnection()) {
            auto *upstreamSocket = new QTcpSocket(client);
            upstreamSocket->connectToHost(QHostAddress::LocalHost, upstream);
            upstreamSocket->waitForConnected();
            client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            upstreamSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            pipe(client, upstreamSocket);
        }
    });
    return QCoreApplication::exec();
}
