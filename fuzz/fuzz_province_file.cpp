// Feeds arbitrary province files to the decoder the province list reads city.json with.
#include "core/province/ProvinceFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane;
    const QByteArray file(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto parsed = ProvinceFile::parse(file);
    if (const auto *names = std::get_if<QStringList>(&parsed)) {
        volatile qsizetype sink = names->size();
        (void)sink;
    }
    return 0;
}
