#include "tunnel/service/ReplayWindow.h"

namespace corvane::tunnel {

namespace {
std::uint64_t bitOf(std::uint64_t number)
{
    return std::uint64_t(1) << (number % 64);
}

std::size_t wordOf(std::uint64_t number)
{
    return static_cast<std::size_t>(number % ReplayWindow::kSize / 64);
}
} // namespace

bool ReplayWindow::isSet(std::uint64_t number) const
{
    return (m_taken[wordOf(number)] & bitOf(number)) != 0;
}

bool ReplayWindow::isNew(std::uint64_t number) const
{
    if (number == kNeverUsed)
        return false;
    if (number >= m_end)
        return true;
    return m_end - number <= kSize && !isSet(number);
}

void ReplayWindow::take(std::uint64_t number)
{
    if (number >= m_end) {
        // The slots of the numbers skipped over now stand for numbers not yet seen.
        if (number - m_end >= kSize) {
            m_taken.fill(0);
        } else {
            for (std::uint64_t skipped = m_end; skipped < number; ++skipped)
                m_taken[wordOf(skipped)] &= ~bitOf(skipped);
        }
        m_end = number + 1;
    }
    m_taken[wordOf(number)] |= bitOf(number);
}

} // namespace corvane::tunnel
