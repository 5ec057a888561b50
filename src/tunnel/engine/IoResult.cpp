#include "tunnel/engine/IoResult.h"

#include <cerrno>

namespace corvane::tunnel {

IoResult IoResult::of(long answer)
{
    if (answer >= 0)
        return {Outcome::Done, static_cast<std::size_t>(answer), 0};
    if (errno == EAGAIN || errno == EINTR)
        return {Outcome::WouldBlock, 0, 0};
    return {Outcome::Failed, 0, errno};
}

} // namespace corvane::tunnel
