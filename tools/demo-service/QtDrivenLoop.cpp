#include "QtDrivenLoop.h"

#include <QSocketNotifier>
#include <QTimer>

namespace corvane {

QtDrivenLoop::QtDrivenLoop(QObject *parent)
    : QObject(parent),
      m_ready(new QSocketNotifier(m_loop.descriptor(), QSocketNotifier::Read, this)),
      m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_ready, &QSocketNotifier::activated, this, &QtDrivenLoop::turn);
    connect(m_timer, &QTimer::timeout, this, &QtDrivenLoop::turn);
    m_timer->start(0);
}

QtDrivenLoop::~QtDrivenLoop() = default;

void QtDrivenLoop::turn()
{
    m_loop.runReady();
    const int wait = m_loop.msUntilNextTimer();
    if (wait < 0)
        m_timer->stop();
    else
        m_timer->start(wait);
}

} // namespace corvane
