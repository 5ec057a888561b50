#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// Peers nobody here wrote, each on a port of 127.0.0.1 that the system picked and stopped
// with its object: a static web server (Python's http.server) and Debian's ss-server.
class WebOrigin final
{
public:
    WebOrigin();
    ~WebOrigin();
    // Serves the files of dir() on `host`; false when it does not come up.
    bool start(const QString &host = QStringLiteral("127.0.0.1"));
    quint16 port() const { return m_port; }
    QString url(const QString &path) const;
    QString dir() const { return m_files.path(); }
    // Writes `size` bytes of a pattern that no shift of itself repeats, as `name`.
    QByteArray addFile(const QString &name, qint64 size);
    // The client addresses of the requests served so far, as the server logged them.
    QStringList peers();

private:
    QTemporaryDir m_files;
    QProcess m_process;
    QString m_host;
    quint16 m_port = 0;
    QByteArray m_log;
};

class SsServer final
{
public:
    ~SsServer();
    // Starts `ss-server -m method` with `password` on 127.0.0.1, on a port it picks itself;
    // with `udp`, its UDP relay too (`-u`), on the same port number.
    bool start(const QString &method, const QString &password, bool udp = false);
    quint16 port() const { return m_port; }
    quint16 udpPort() const { return m_udpPort; }
    qint64 pid() const { return m_process.processId(); }

private:
    bool startOn(quint16 port, const QString &method, const QString &password, bool udp);

    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_udpPort = 0;
};

struct CurlRun
{
    int code = -1;
    QByteArray body;
    QByteArray error;
};

// curl with `arguments`; `asUid` runs it as that user through setpriv (root only).
CurlRun runCurl(const QStringList &arguments, int asUid = -1);
// Any client, without the machine's proxy settings.
CurlRun runPeer(const QString &program, const QStringList &arguments);
// Starts Python 3 with `arguments`, a server that prints "port N" once it listens; N, or 0 when
// it does not come up.
quint16 startPythonServer(QProcess &process, const QStringList &arguments);
