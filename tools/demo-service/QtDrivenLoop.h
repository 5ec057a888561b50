#pragma once

#include "tunnel/engine/EventLoop.h"

#include <QObject>

class QSocketNotifier;
class QTimer;

namespace corvane {

// The tunnel engine's event loop run by Qt's: the demo service's relays share the thread of
// its HTTP server and its state, so nothing of it needs a lock.
class QtDrivenLoop final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QtDrivenLoop)

public:
    explicit QtDrivenLoop(QObject *parent = nullptr);
    ~QtDrivenLoop() override;

    tunnel::EventLoop &loop() { return m_loop; }

private:
    void turn();

    tunnel::EventLoop m_loop;
    QSocketNotifier *m_ready;
    QTimer *m_timer;
};

} // namespace corvane
