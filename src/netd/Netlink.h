#pragma once

#include "NetlinkMessage.h"
#include "UniqueFd.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace corvane::netd {

// A NETLINK_ROUTE socket that sends one request at a time and reads the kernel's answer to it.
// Failures are the kernel's errno values, so that a clean-up can tell "not there" apart.
class Netlink final
{
public:
    using Each = std::function<void(std::span<const std::uint8_t> message)>;

    Netlink();

    // Nothing when the socket is open, else its errno.
    std::optional<int> openError() const { return m_openError; }
    // Sends a request (with NLM_F_ACK, or a dump) and reads up to its acknowledgement or the
    // dump's end; `each` sees every other message of the answer (a dumped rule, a route).
    std::optional<int> exchange(NetlinkMessage &message, const Each &each = {});

private:
    UniqueFd m_fd;
    std::optional<int> m_openError;
    std::uint32_t m_sequence = 0;
    std::vector<std::uint8_t> m_buffer;
};

} // namespace corvane::netd
