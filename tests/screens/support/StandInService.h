#pragma once

#include <QByteArray>
#include <QHash>
#include <QHttpServer>
#include <QList>
#include <QObject>

// The service's sign-in call and the public lookup on one loopback server: each answers with
// the reply the test last set and records what arrived.
class StandInService final : public QObject
{
    Q_OBJECT

public:
    explicit StandInService(QObject *parent = nullptr);

    QString baseUrl() const;
    // Points the client's service and lookup addresses at this server.
    void install() const;

    QByteArray loginReply = R"({"code": 0, "message": "ok", "result": {"orderInfoList": []}})";
    // Replies to the sign-ins with a given encoded password, instead of loginReply.
    QHash<QString, QByteArray> loginReplyFor;
    QByteArray lookupReply;
    QByteArray lookupContentType = "text/html; charset=utf-8";

    QList<QByteArray> loginBodies;
    int lookups = 0;

private:
    QHttpServer m_server;
    quint16 m_port = 0;
};
