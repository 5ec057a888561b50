#pragma once

#include "core/home/PublicAddressAnswer.h"

#include <QObject>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

namespace corvane {

// Asks the public lookup service where this machine's traffic leaves from. At most one
// lookup of each object runs: starting another cancels it, and the cancelled one still
// reports, as failed. Objects that look up while another's request is in flight over the same
// route share its request and answer: the home screen and the desktop notice both ask a step
// after the tunnel came up.
class PublicAddressLookup final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PublicAddressLookup)

public:
    struct Outcome
    {
        // Nothing usable arrived: no connection, a cancel, an empty body.
        bool failed = false;
        // The answer when it has the expected shape; none when it arrived in another.
        std::optional<PublicAddressAnswer> answer;
    };
    using Completion = std::function<void(const Outcome &outcome)>;

    explicit PublicAddressLookup(QObject *parent = nullptr);
    ~PublicAddressLookup() override;

    // GET "/cityjson?ie=utf-8" on the installed lookup service, through the tunnel's local
    // HTTP proxy while the shared tunnel is on, or joins such a request in flight that began
    // since the tunnel's status last moved; `completion` runs once, on the main thread,
    // unless this object is gone by then.
    void start(Completion completion);
    void cancel();
    bool isRunning() const { return m_flight != nullptr; }

    static QUrl endpoint();

private:
    class Flight;

    static std::shared_ptr<Flight> launch(std::optional<quint16> proxyPort);
    // Leaves the request, which stops when nobody waits for it any more.
    void leave();
    void finish(const Flight *flight, const Outcome &outcome);

    std::shared_ptr<Flight> m_flight;
    Completion m_completion;
};

} // namespace corvane
