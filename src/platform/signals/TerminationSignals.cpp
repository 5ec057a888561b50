#include "platform/signals/TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace corvane {

namespace {

// SIGHUP last, so that leaving it is catching one fewer.
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler, read by the event loop; -1 while no instance exists.
int g_pipe[2] = {-1, -1};
// What each signal did before, put back on destruction.
struct sigaction g_previous[std::size(kSignals)];
// Lock-free, so the handler may touch them.
std::atomic<int> g_received{0};
std::atomic<bool> g_mayEnd{false};

void onSignal(int signalNumber)
{
    const int saved = errno;
    if (g_received.fetch_add(1) > 0) {
        // Signals stay blocked while their handler runs: the default action comes on return.
        if (g_mayEnd.load()) {
            ::signal(signalNumber, SIG_DFL);
            ::raise(signalNumber);
        }
        errno = saved;
        return;
    }
    const auto byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: with the pipe full the quit is already on its way.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(HangUp hangUp, QObject *parent)
    : QObject(parent), m_caught(std::size(kSignals) - (hangUp == HangUp::left ? 1 : 0))
{
    Q_ASSERT(g_pipe[0] < 0);
    if (::pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);
    struct sigaction action
    {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    g_received = 0;
    g_mayEnd = false;
    for (std::size_t i = 0; i < m_caught; ++i) {
        ::sigaction(kSignals[i], nullptr, &g_previous[i]);
        // A signal ignored from the start (SIGHUP under nohup) stays ignored.
        if (g_previous[i].sa_handler != SIG_IGN)
            ::sigaction(kSignals[i], &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < m_caught; ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TerminationSignals::allowEarlyEnd()
{
    g_mayEnd = true;
}

void TerminationSignals::drain()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        Q_EMIT received(byte);
}

} // namespace corvane
