#pragma once

#include <QString>
#include <optional>

namespace corvane {

// What a failed service call hands to its failure callback.
class SCNetError final
{
public:
    SCNetError(std::optional<QString> text, std::optional<qint64> code, bool refusal = false)
        : message(std::move(text)), resultCode(code), refused(refusal)
    {}

    // The text shown to the user; the service may send none.
    std::optional<QString> message;
    // The reply's HTTP status, or 1 when there was no reply or no envelope.
    std::optional<qint64> resultCode = 1;
    // The service answered with an envelope that says no; otherwise the exchange itself failed
    // (no connection, a time-out, a reply that is no envelope), and a later try may succeed.
    bool refused = false;
};

} // namespace corvane
