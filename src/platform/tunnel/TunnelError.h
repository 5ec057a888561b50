#pragma once

#include <QString>

namespace corvane {

// A failed profile store request or a refused start. The description goes to the log, so it
// never quotes the provider configuration.
struct TunnelError
{
    QString description;
};

} // namespace corvane
