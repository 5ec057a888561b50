#pragma once

#include "core/home/PublicAddressAnswer.h"
#include "platform/http/HttpTask.h"

#include <QObject>
#include <QUrl>
#include <functional>
#include <optional>

namespace corvane {

// Asks the public lookup service where this machine's traffic leaves from. At most one
// lookup runs: starting another cancels it, and the cancelled one still reports, as failed.
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
    // SOCKS5 proxy while the shared tunnel is on; `completion` runs once, on the main thread,
    // unless this object is gone by then.
    void start(Completion completion);
    void cancel();
    bool isRunning() const { return m_request.isRunning(); }

    static QUrl endpoint();

private:
    HttpTask m_request;
};

} // namespace corvane
