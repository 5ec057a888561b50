#pragma once

#include <QString>
#include <atomic>
#include <thread>

// A loopback HTTP server on a thread of its own that answers every request with a chunked body
// that never ends, written as fast as the peer takes it: the network reads at full speed however
// busy the test's event loop is.
class EndlessHttpServer final
{
public:
    EndlessHttpServer();
    ~EndlessHttpServer();
    EndlessHttpServer(const EndlessHttpServer &) = delete;
    EndlessHttpServer &operator=(const EndlessHttpServer &) = delete;

    bool isListening() const { return m_listener >= 0; }
    QString baseUrl() const;

private:
    void serve();

    int m_listener = -1;
    int m_port = 0;
    std::atomic<int> m_client{-1};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

// The peak and current resident size of this process, from /proc/self/status, in bytes.
namespace memory {
// Starts a new peak from the current size; false where the kernel does not allow it.
bool resetPeak();
qint64 peak();
qint64 resident();
} // namespace memory
