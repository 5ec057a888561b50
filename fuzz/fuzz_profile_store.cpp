// Feeds arbitrary profile store files to its decoder. What decodes must survive a save: written
// back and read again, every profile comes back unchanged.
#include "platform/tunnel/linux/ProfileFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane;
    const QByteArray file(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto decoded = ProfileFile::decode(file);
    const auto *profiles = std::get_if<QList<StoredProfile>>(&decoded);
    if (!profiles)
        return 0;
    const auto again = ProfileFile::decode(ProfileFile::encode(*profiles));
    const auto *reread = std::get_if<QList<StoredProfile>>(&again);
    if (!reread || *reread != *profiles)
        __builtin_trap();
    return 0;
}
