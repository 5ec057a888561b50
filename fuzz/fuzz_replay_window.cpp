// Drives the replay window with packet numbers around its edges (each step names a number some
// distance above or below the highest taken, from a start the input picks, near 0 or near the
// top of the range) and checks every answer against a plain set of all the numbers taken.
#include "tunnel/service/ReplayWindow.h"

#include <cstddef>
#include <cstdint>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using corvane::tunnel::ReplayWindow;
    if (size < 8)
        return 0;
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < 8; ++i)
        start = start << 8 | data[i];
    ReplayWindow window;
    std::set<std::uint64_t> taken;
    std::uint64_t highest = start;
    for (std::size_t at = 8; at + 3 <= size; at += 3) {
        const std::uint64_t distance = static_cast<std::uint64_t>(data[at + 1] << 8 | data[at + 2]);
        const bool above = data[at] & 1;
        const std::uint64_t number = taken.empty() ? start
                                     : above       ? highest + distance
                                                   : highest - distance;
        const bool expected =
            number != ReplayWindow::kNeverUsed && !taken.contains(number) &&
            (taken.empty() || number > highest || highest - number < ReplayWindow::kSize);
        if (window.isNew(number) != expected)
            __builtin_trap();
        // Some numbers are only asked about, as for a packet that then does not open.
        if (expected && !(data[at] & 2)) {
            window.take(number);
            taken.insert(number);
            highest = std::max(highest, number);
        }
    }
    return 0;
}
