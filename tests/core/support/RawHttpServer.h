#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

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
        Trickle,      // send the head, then one byte of the body at every interval, forever
        Endless,      // send the head, then 64 KiB chunks of body as fast as they go
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
    // Header lines ("Name: value\r\n" each) added to every reply, such as a Location.
    void setExtraHeaders(const QByteArray &lines) { m_extraHeaders = lines; }
    // A different reply for requests to `path`, in Answer mode.
    void route(const QByteArray &path, int status, const QByteArray &body,
               const QByteArray &extraHeaders = {});
    void setMode(Mode mode) { m_mode = mode; }
    void setTrickleInterval(int ms) { m_trickleMs = ms; }

    QList<Received> received;

private:
    struct Scripted
    {
        int status = 200;
        QByteArray body;
        QByteArray extraHeaders;
    };

    void serve(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Received &request);
    QByteArray head(const Scripted &reply, bool withLength) const;

    QTcpServer m_server;
    Mode m_mode = Mode::Answer;
    Scripted m_default;
    QHash<QByteArray, Scripted> m_routes;
    QByteArray m_contentType;
    QByteArray m_extraHeaders;
    int m_trickleMs = 20;
};
