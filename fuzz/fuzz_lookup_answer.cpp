// Feeds arbitrary lookup bodies, as the lookup service could send them, to the parser the home
// screen and corvanectl read the public address with.
#include "core/home/PublicAddressAnswer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane;
    const QString body =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (const std::optional<PublicAddressAnswer> answer = PublicAddressAnswer::parse(body)) {
        volatile qsizetype sink = answer->addressText().size() + answer->placeText().size();
        (void)sink;
    }
    return 0;
}
