#pragma once

#include "DemoService.h"

#include <QHttpServer>
#include <QObject>

namespace corvane {

// The demo service on HTTP, on 127.0.0.1 only:
//   POST /vpnApp/personal/queryOrder   the sign-in
//   GET  /cityjson?ie=utf-8            the public-address lookup, of the address it is asked from
class DemoHttpServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DemoHttpServer)

public:
    explicit DemoHttpServer(DemoService::Clock clock = {}, QObject *parent = nullptr);
    ~DemoHttpServer() override;

    // 0 picks a free port. Returns the port, or 0 when it cannot listen.
    quint16 listen(quint16 port);
    DemoService &service() { return m_service; }

private:
    DemoService m_service;
    QHttpServer m_server;
};

} // namespace corvane
