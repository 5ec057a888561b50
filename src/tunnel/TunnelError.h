#pragma once

#include <cstring>
#include <string>

namespace corvane::tunnel {

// Why something the tunnel library tried failed: a sentence for the log, and the errno behind
// it when the system refused (0 otherwise). The library's own, without Qt: the application's
// corvane::TunnelError is another type.
struct TunnelError
{
    std::string description;
    int code = 0;

    static TunnelError fromErrno(int code) { return {std::strerror(code), code}; }
};

} // namespace corvane::tunnel
