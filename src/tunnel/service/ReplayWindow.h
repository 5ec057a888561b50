#pragma once

#include <array>
#include <cstdint>

namespace corvane::tunnel {

// The packet numbers a receiver has taken, as a sliding bitmap of the kSize numbers up to the
// highest taken: a number is new above the highest, or inside the window and not yet taken;
// one kSize or more below the highest can no longer be told from a replay and is refused.
class ReplayWindow final
{
public:
    static constexpr std::uint64_t kSize = 1024;
    // Never sent, so that one above the highest always exists.
    static constexpr std::uint64_t kNeverUsed = UINT64_MAX;

    bool isNew(std::uint64_t number) const;
    // Marks a number isNew allowed as taken. Only once its packet opened: a forged number
    // must not move the window.
    void take(std::uint64_t number);

private:
    bool isSet(std::uint64_t number) const;

    std::array<std::uint64_t, kSize / 64> m_taken{};
    // One above the highest number taken; 0 before the first.
    std::uint64_t m_end = 0;
};

} // namespace corvane::tunnel
