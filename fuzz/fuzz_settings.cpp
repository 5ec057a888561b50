// Feeds arbitrary settings files to the decoder the settings store reads them with, and reads
// the two keys the application keeps there.
#include "platform/settings/SettingsStore.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane;
    const QByteArray file(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<QJsonObject> object = SettingsStore::decode(file);
    if (!object)
        return 0;
    for (const char *key : {"phoneNum", "pwdNum"}) {
        const QJsonValue value = object->value(QLatin1StringView(key));
        volatile qsizetype sink = value.isString() ? value.toString().size() : 0;
        (void)sink;
    }
    return 0;
}
