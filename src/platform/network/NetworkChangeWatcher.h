#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace corvane {

// Tells when the way to the internet may have changed under a running tunnel: a default route
// or an address came or went (a change of Wi-Fi, a cable, a VPN of another program), or the
// machine woke from sleep (login1's PrepareForSleep, where the system bus has it). A burst of
// changes is told once, kSettle after its first.
class NetworkChangeWatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkChangeWatcher)

public:
    static constexpr std::chrono::milliseconds kSettle{500};

    explicit NetworkChangeWatcher(QObject *parent = nullptr);
    ~NetworkChangeWatcher() override;

    // False where the kernel's route notifications cannot be had; waking is still watched.
    bool watchesRoutes() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void sleepChanged(bool goingToSleep);

private:
    void readNotifications();
    void changeSeen();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_pending = false;
};

} // namespace corvane
