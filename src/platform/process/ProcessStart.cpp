#include "platform/process/ProcessStart.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace corvane {

namespace {

// Field 22 of /proc/self/stat, in clock ticks since boot. Read without allocating, so a child
// between fork and exec may ask too.
bool startTicks(unsigned long long &ticks)
{
    const int fd = ::open("/proc/self/stat", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[1024];
    const ssize_t size = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (size <= 0)
        return false;
    text[size] = '\0';
    // The name in parentheses may hold spaces and ')' itself; the fields resume after the last.
    const char *field = std::strrchr(text, ')');
    if (!field)
        return false;
    // Past ") " is field 3; 19 more fields lead to field 22.
    for (int skipped = 0; skipped < 20; ++skipped) {
        field = std::strchr(field + 1, ' ');
        if (!field)
            return false;
    }
    char *end = nullptr;
    ticks = std::strtoull(field + 1, &end, 10);
    return end != field + 1;
}

} // namespace

std::chrono::nanoseconds ProcessStart::age()
{
    using namespace std::chrono;
    unsigned long long ticks = 0;
    const long perSecond = ::sysconf(_SC_CLK_TCK);
    timespec now{};
    if (perSecond <= 0 || !startTicks(ticks) || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return nanoseconds::zero();
    const nanoseconds sinceBoot = seconds(now.tv_sec) + nanoseconds(now.tv_nsec);
    // The process began somewhere within its tick; counting from the tick's end never overstates.
    const nanoseconds started = duration_cast<nanoseconds>(
        duration<double>(static_cast<double>(ticks + 1) / static_cast<double>(perSecond)));
    return std::max(sinceBoot - started, nanoseconds::zero());
}

} // namespace corvane
