#pragma once

#include "platform/tunnel/TunnelStatus.h"
#include "platform/tunnel/linux/ChannelLines.h"
#include "platform/tunnel/linux/TunnelChannel.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QUrl>

class QLocalServer;
class QLocalSocket;
class QNetworkAccessManager;

namespace corvane {

// One profile's tunnel: owns the channel's lock and socket for as long as it runs and tells
// every attached window each status change. Given a service to check with, it hands the
// service the configuration's signed string before it reports connected, and stays down when
// the service refuses it.
class TunnelHelper final : public QObject
{
    Q_OBJECT

public:
    TunnelHelper(TunnelChannel channel, int connectDelayMs, QUrl checkService = {},
                 QObject *parent = nullptr);
    ~TunnelHelper() override;
    Q_DISABLE_COPY_MOVE(TunnelHelper)

    // Takes the lock, reads the configuration and opens the socket; false (with the reason
    // logged) when the tunnel cannot run.
    bool begin();

Q_SIGNALS:
    void finished();

private:
    bool takeLock();
    bool readConfiguration();
    void attachClient();
    void readCommands(QLocalSocket *client);
    void checkWithService();
    void comeUp();
    void stopTunnel();
    void finish();
    void releaseChannel();
    void setStatus(TunnelStatus status);
    void broadcast(const QByteArray &line);

    TunnelChannel m_channel;
    int m_connectDelayMs;
    QUrl m_checkService;
    QNetworkAccessManager *m_network = nullptr;
    QByteArray m_auth;
    bool m_accepted = false;
    int m_lockFd = -1;
    QLocalServer *m_server;
    QList<QLocalSocket *> m_clients;
    QHash<QLocalSocket *, ChannelLines> m_commandLines;
    TunnelStatus m_status = TunnelStatus::Disconnected;
};

} // namespace corvane
