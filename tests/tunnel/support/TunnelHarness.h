#pragma once

#include "RelayServer.h"
#include "tunnel/client/TunnelClient.h"
#include "tunnel/engine/EngineThread.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

using namespace corvane::tunnel;

// A tunnel client on an engine thread of its own, its statuses and log lines collected for the
// test's thread. With `manual` time its timers move only when advance() says so.
class TunnelHarness final
{
public:
    explicit TunnelHarness(bool manual = false);
    ~TunnelHarness();

    void start(const TunnelConfiguration &configuration, TunnelClient::Options options = {});
    void stop();
    void checkRelay();
    // Moves the clock; returns once every timer due by then has run.
    void advance(std::chrono::milliseconds by);
    // As a stop signal finds an idle helper: the engine thread stops in its wait, `meanwhile`
    // runs, the clock jumps by `by`, and the thread goes on. False when the thread cannot be
    // seen waiting.
    bool freezeWhile(std::chrono::milliseconds by, const std::function<void()> &meanwhile);

    QList<TunnelClient::Status> statuses() const;
    TunnelClient::Status last() const;
    QString reason() const;
    QString log() const;
    quint16 socksPort() const { return m_socksPort; }
    quint16 httpPort() const { return m_httpPort; }
    std::size_t connectionCount();
    std::size_t associationCount();
    std::size_t datagramFlowCount();
    TunnelClient::DownCause downCause();

    // A plain relay configuration, or the service relay's when `auth` is set; the rules send
    // everything through the relay unless given.
    static TunnelConfiguration configuration(quint16 relayPort, const std::string &method,
                                             const std::string &password,
                                             const std::string &auth = {},
                                             const std::string &rules = {});

private:
    ManualTime m_time;
    EngineThread m_engine;
    std::unique_ptr<TunnelClient> m_client;
    mutable std::mutex m_mutex;
    QList<TunnelClient::Status> m_statuses;
    QString m_reason;
    QStringList m_log;
    quint16 m_socksPort = 0;
    quint16 m_httpPort = 0;
};

// A relay server on an engine thread of its own: the service relay, accepting every string
// with `exitAddress` (refusing with `refusal` when that is set), or a plain relay.
class RelayHarness final
{
public:
    // With `manual` time its timers move only when advance() says so.
    explicit RelayHarness(RelayServer::Options options = {}, std::string exitAddress = {},
                          std::string refusal = {}, bool manual = false);
    ~RelayHarness();

    quint16 port() const { return m_port; }
    // Drops the listener and every connection, keeping the tunnels.
    void drop();
    // Listens again on the same port.
    bool relisten();
    QStringList authorised() const;
    std::size_t tunnelCount();
    std::size_t datagramFlowCount();
    QString log() const;
    // Moves the clock; returns once every timer due by then has run.
    void advance(std::chrono::milliseconds by);

private:
    ManualTime m_time;
    EngineThread m_engine;
    std::unique_ptr<RelayServer> m_server;
    quint16 m_port = 0;
    mutable std::mutex m_mutex;
    QStringList m_authorised;
    QStringList m_log;
};
