#include "platform/scheduling/TimerScheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cmath>

namespace corvane {

void TimerScheduler::schedule(Duration after, QObject *context, std::function<void()> fn)
{
    const double seconds = after.count();
    const int ms = seconds > 0 ? static_cast<int>(std::lround(seconds * 1000.0)) : 0;
    // Without a context the step belongs to the application and lives as long as it does.
    QObject *owner = context ? context : QCoreApplication::instance();
    QTimer::singleShot(ms, Qt::PreciseTimer, owner, std::move(fn));
}

double TimerScheduler::now() const
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

} // namespace corvane
