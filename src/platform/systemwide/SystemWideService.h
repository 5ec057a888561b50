#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace corvane {

// The client's side of corvane-netd on the system bus: the calls a person makes by hand, without
// a tunnel.
class SystemWideService final
{
public:
    struct Outcome
    {
        enum class Kind
        {
            done,
            // No system bus, or nothing owns or can start the service's name.
            absent,
            // The service (or polkit through it) said no, or failed: `message` has its words.
            refused,
        };
        Kind kind = Kind::done;
        QString message;
    };

    // Asks the service to take away everything the system-wide mode put on the machine (its
    // Down call); `done` hears the outcome, unless `context` is gone by then.
    static void down(QObject *context, std::function<void(const Outcome &)> done);
};

} // namespace corvane
