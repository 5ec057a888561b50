#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

// A loopback HTTP server that answers every request with one scripted reply and records what
// arrived on the wire, so tests see exact bytes and can misbehave on purpose.
class RawHttpServer final : public QObject
{
    Q_OBJECT

public:
    enum class Mode
    {
        Answer,       // send the scripted reply and close
        NeverAnswer,  // read the request, then stay silent
        CloseMidBody, // announce the full length, send half the body, close
    };

    struct Received
    {
        QByteArray requestLine;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        QByteArray header(const QByteArray &name) const;
    };

    explicit RawHttpServer(QObject *parent = nullptr);

    quint16 port() const { return m_server.serverPort(); }
    QString baseUrl() const;

    void reply(int status, const QByteArray &body,
               const QByteArray &contentType = "application/json");
    void setMode(Mode mode) { m_mode = mode; }

    QList<Received> received;

private:
    void serve(QTcpSocket *socket);

    QTcpServer m_server;
    Mode m_mode = Mode::Answer;
    int m_status = 200;
    QByteArray m_body;
    QByteArray m_contentType;
};
