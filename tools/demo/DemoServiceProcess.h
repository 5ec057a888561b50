#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <optional>

namespace corvane {

// The demo service as a child process on a free port of 127.0.0.1, for the scripted demo and
// for trying the application without the real service. It stops with this object.
class DemoServiceProcess final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DemoServiceProcess)

public:
    explicit DemoServiceProcess(QObject *parent = nullptr);
    ~DemoServiceProcess() override;

    // Starts `program` and waits (at most a few seconds) for the address it prints; the
    // reason when it does not come up.
    std::optional<QString> start(const QString &program);
    QString baseUrl() const { return m_baseUrl; }

    // Points the service, the lookup, the tunnel and the quick connect relay at the demo
    // service, with the demo's rules document, which sends loopback destinations (the demo's
    // own lookup among them) through the tunnel.
    void pointClientAtIt();

private:
    QProcess m_process;
    QString m_baseUrl;
    quint16 m_relayPort = 0;
    quint16 m_plainRelayPort = 0;
    QTemporaryDir m_rules;
};

} // namespace corvane
