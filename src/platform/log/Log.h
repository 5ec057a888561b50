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
    // Replaces where lines go (stderr by default); returns the previous sink. An empty sink
    // restores stderr.
    static Sink setSink(Sink sink);
};

} // namespace corvane
