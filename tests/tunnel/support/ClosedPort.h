#pragma once

#include <QtGlobal>

// A loopback port that refuses every connection for as long as this lives: bound, never
// listening, so no other process can take it meanwhile (a port merely closed again can be
// handed to the next one that asks).
class ClosedPort final
{
public:
    ClosedPort();
    ~ClosedPort();
    ClosedPort(const ClosedPort &) = delete;
    ClosedPort &operator=(const ClosedPort &) = delete;

    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};
