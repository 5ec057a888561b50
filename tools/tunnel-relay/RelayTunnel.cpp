#include "RelayTunnel.h"

namespace corvane::tunnel {

bool RelayTunnel::takeNumber(std::uint64_t number)
{
    if (number == 0 || number + kWindow <= m_highest)
        return false;
    if (number > m_highest) {
        if (number - m_highest >= kWindow) {
            m_seen.reset();
        } else {
            for (std::uint64_t skipped = m_highest + 1; skipped < number; ++skipped)
                m_seen.reset(skipped % kWindow);
        }
        m_highest = number;
        m_seen.set(number % kWindow);
        return true;
    }
    if (m_seen.test(number % kWindow))
        return false;
    m_seen.set(number % kWindow);
    return true;
}

} // namespace corvane::tunnel
