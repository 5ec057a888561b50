#pragma once

#include <QString>
#include <functional>

namespace corvane {

// Plain-text log lines without levels. Callers never pass the password, an order secret or an
// authentication string.
class Log final
{
public:
    using Sink = std::function<void(const QString &line)>;

    static void write(const QString &line);
    // A line the person at the program must read even where the log goes unread (a password
    // kept somewhere less safe than asked): where the warning sink sends it, else as write().
    static void warn(const QString &line);
    // Replaces where lines go (stderr by default); returns the previous sink. An empty sink
    // restores stderr.
    static Sink setSink(Sink sink);
    static Sink setWarningSink(Sink sink);
};

} // namespace corvane
