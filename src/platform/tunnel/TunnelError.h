#pragma once

#include <QString>

namespace corvane {

// A failed profile store request or a refused start. The description goes to the log, so it
// never quotes the provider configuration; the kind is what the customer is told.
struct TunnelError
{
    enum class Kind
    {
        other,
        // The profile store could not be read or written.
        store,
        // The rules document the configuration carries is missing or not text.
        rules,
        // No private runtime folder to hand the configuration over in.
        runtimeFolder,
        helperMissing,
        // The helper program is there but cannot be run (not executable, not a program).
        helperNotRunnable,
        // The previous tunnel is still stopping.
        stillStopping,
    };

    QString description;
    Kind kind = Kind::other;
};

} // namespace corvane
