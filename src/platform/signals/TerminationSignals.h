#pragma once

#include <QObject>

#include <cstddef>

class QSocketNotifier;

namespace corvane {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, `systemctl stop`, Ctrl-C) into a signal on the
// event loop, so that the application can quit the ordinary way and run its termination step.
// The handler only writes the signal's number into a pipe that the event loop watches. A second
// signal while quitting may cut the quit short, as it would have without this class, but only
// once allowEarlyEnd() says the quit's essential step (the stop sent to the tunnel) is done:
// before that it changes nothing. A signal ignored at start-up (SIGHUP under nohup) stays
// ignored. One instance at a time.
class TerminationSignals final : public QObject
{
    Q_OBJECT

public:
    // Whether SIGHUP is caught too: a program that outlives its terminal's session, as the
    // tunnel helper may, leaves it to its default.
    enum class HangUp
    {
        caught,
        left
    };

    explicit TerminationSignals(HangUp hangUp = HangUp::caught, QObject *parent = nullptr);
    // Puts the earlier handlers back.
    ~TerminationSignals() override;
    Q_DISABLE_COPY_MOVE(TerminationSignals)

    // From now on a further signal ends the process at once.
    static void allowEarlyEnd();

Q_SIGNALS:
    void received(int signalNumber);

private:
    void drain();

    QSocketNotifier *m_notifier = nullptr;
    std::size_t m_caught = 0;
};

} // namespace corvane
