#pragma once

#include "QtDrivenLoop.h"
#include "RelayServer.h"

#include <QObject>
#include <QString>
#include <memory>

namespace corvane {

class DemoService;

// The demo service's relays, on 127.0.0.1: the service relay, which checks each tunnel's signed
// string with the demo service and relays its connections from the exit address it granted,
// and the quick connect screen's plain relay (CHACHA20, empty password).
class DemoRelays final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DemoRelays)

public:
    // A non-empty `refusal` refuses every tunnel with that reason, so that how a client shows
    // a refusal can be tried without breaking a signed string.
    explicit DemoRelays(DemoService &service, const QString &refusal = {},
                        QObject *parent = nullptr);
    ~DemoRelays() override;

    // 0 picks a free port. Return the port, or 0 when it cannot listen.
    quint16 listenServiceRelay(quint16 port);
    quint16 listenPlainRelay(quint16 port);

private:
    QtDrivenLoop *m_driver;
    std::unique_ptr<tunnel::RelayServer> m_service;
    std::unique_ptr<tunnel::RelayServer> m_plain;
};

} // namespace corvane
