#include "TunnelPeers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QUdpSocket>

namespace {
constexpr int kStartMs = 15000;

quint16 listeningPortOf(qint64 pid, bool udp = false)
{
    // ss-server says "listening at 127.0.0.1:0" for port 0; the kernel knows the real one.
    QProcess ss;
    ss.start(QStringLiteral("ss"), {udp ? QStringLiteral("-lunpH") : QStringLiteral("-ltnpH")});
    ss.waitForFinished();
    const QRegularExpression line(QStringLiteral(R"(127\.0\.0\.1:(\d+)\s.*pid=%1,)").arg(pid));
    const QRegularExpressionMatch match = line.match(QString::fromUtf8(ss.readAllStandardOutput()));
    return match.hasMatch() ? static_cast<quint16>(match.captured(1).toUInt()) : 0;
}
} // namespace

WebOrigin::WebOrigin() = default;

WebOrigin::~WebOrigin()
{
    m_process.kill();
    m_process.waitForFinished();
}

bool WebOrigin::start(const QString &host)
{
    m_host = host;
    // Python's own threading file server, with a listen queue long enough for a hundred
    // connections at once (the module's command line keeps five).
    const auto serve = QStringLiteral(
        "import functools, http.server, sys\n"
        "http.server.ThreadingHTTPServer.request_queue_size = 1024\n"
        "handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])\n"
        "server = http.server.ThreadingHTTPServer((sys.argv[2], 0), handler)\n"
        "print('port', server.server_address[1], flush=True)\n"
        "server.serve_forever()\n");
    m_port = startPythonServer(m_process, {QStringLiteral("-c"), serve, m_files.path(), host});
    return m_port != 0;
}

quint16 startPythonServer(QProcess &process, const QStringList &arguments)
{
    process.start(QStringLiteral("/usr/bin/python3"),
                  QStringList{QStringLiteral("-u")} + arguments);
    const QRegularExpression serving(QStringLiteral(R"(port (\d+))"));
    QDeadlineTimer deadline(kStartMs);
    QByteArray said;
    while (!deadline.hasExpired() && process.waitForReadyRead(1000)) {
        said += process.readAllStandardOutput();
        const QRegularExpressionMatch match = serving.match(QString::fromUtf8(said));
        if (match.hasMatch())
            return static_cast<quint16>(match.captured(1).toUInt());
    }
    return 0;
}

QString WebOrigin::url(const QString &path) const
{
    return QStringLiteral("http://%1:%2/%3").arg(m_host).arg(m_port).arg(path);
}

QByteArray WebOrigin::addFile(const QString &name, qint64 size)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 state = 2463534242u;
    for (char &byte : data) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state);
    }
    QFile file(m_files.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != size)
        return {};
    return data;
}

QStringList WebOrigin::peers()
{
    m_log += m_process.readAllStandardError();
    QStringList seen;
    const QRegularExpression request(QStringLiteral(R"(^(\S+) - - \[)"),
                                     QRegularExpression::MultilineOption);
    auto matches = request.globalMatch(QString::fromUtf8(m_log));
    while (matches.hasNext())
        seen << matches.next().captured(1);
    return seen;
}

SsServer::~SsServer()
{
    m_process.kill();
    m_process.waitForFinished();
}

bool SsServer::start(const QString &method, const QString &password, bool udp)
{
    // With UDP the relay serves both on one port number, where its clients look for it: a
    // number free for both is picked here, and taken again should another take it meanwhile.
    for (int attempt = 0; attempt < 5; ++attempt) {
        quint16 port = 0;
        if (udp) {
            QTcpServer tcp;
            QUdpSocket probe;
            if (!tcp.listen(QHostAddress::LocalHost, 0) ||
                !probe.bind(QHostAddress::LocalHost, tcp.serverPort()))
                continue;
            port = tcp.serverPort();
        }
        if (startOn(port, method, password, udp))
            return true;
        m_process.kill();
        m_process.waitForFinished();
    }
    return false;
}

bool SsServer::startOn(quint16 port, const QString &method, const QString &password, bool udp)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments{QStringLiteral("-s"), QStringLiteral("127.0.0.1"),
                          QStringLiteral("-p"), QString::number(port),
                          QStringLiteral("-k"), password,
                          QStringLiteral("-m"), method};
    if (udp)
        arguments << QStringLiteral("-u");
    m_process.start(QStringLiteral("ss-server"), arguments);
    if (!m_process.waitForStarted(kStartMs))
        return false;
    QDeadlineTimer deadline(kStartMs);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_port = listeningPortOf(m_process.processId());
        m_udpPort = udp ? listeningPortOf(m_process.processId(), true) : 0;
        if (m_port && (m_udpPort || !udp))
            return true;
        m_process.waitForReadyRead(50);
    }
    return false;
}

CurlRun runCurl(const QStringList &arguments, int asUid)
{
    QStringList command{QStringLiteral("curl"), QStringLiteral("--silent"),
                        QStringLiteral("--show-error"), QStringLiteral("--max-time"),
                        QStringLiteral("120")};
    command += arguments;
    if (asUid < 0)
        return runPeer(command.takeFirst(), command);
    return runPeer(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=%1").arg(asUid),
                                                          QStringLiteral("--regid=%1").arg(asUid),
                                                          QStringLiteral("--clear-groups")} +
                                                  command);
}

CurlRun runPeer(const QString &program, const QStringList &arguments)
{
    QProcess peer;
    // The machine's proxy settings must not decide where these requests go.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"})
        environment.remove(QString::fromLatin1(name));
    peer.setProcessEnvironment(environment);
    peer.start(program, arguments);
    peer.waitForFinished(180000);
    return {peer.exitStatus() == QProcess::NormalExit ? peer.exitCode() : -1,
            peer.readAllStandardOutput(), peer.readAllStandardError()};
}
