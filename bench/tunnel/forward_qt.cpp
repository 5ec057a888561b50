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

void pipe(QTcpSocket *a, QTcpSocket *b)
{
    a->setReadBufferSize(kHighWater);
    b->setReadBufferSize(kHighWater);
    for (auto [from, to] : {std::pair{a, b}, std::pair{b, a}}) {
        QObject::connect(from, &QTcpSocket::readyRead, to, [from, to] { forward(from, to); });
        QObject::connect(to, &QTcpSocket::bytesWritten, from, [from, to] { forward(from, to); });
        QObject::connect(from, &QTcpSocket::disconnected, to, [from, to] {
            forward(from, to);
            to->disconnectFromHost();
            from->deleteLater();
        });
    }
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
            upstreamSocket->setParent(nullptr);
            client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            upstreamSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            pipe(client, upstreamSocket);
        }
    });
    return QCoreApplication::exec();
}
