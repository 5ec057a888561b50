// Feeds arbitrary configurations to the helper's check of what a window hands it: a JSON object
// whose "json_conf" is itself a JSON document. A configuration the check accepts has every key
// the tunnel needs.
#include "HelperConfiguration.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane;
    const QByteArray file(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (!HelperConfiguration::problem(file).isEmpty())
        return 0;
    const QJsonObject config = QJsonDocument::fromJson(file).object();
    if (config.value(QLatin1StringView("ss_address")).toString().isEmpty() ||
        config.value(QLatin1StringView("ss_port")).toInteger() == 0 ||
        !config.value(QLatin1StringView("json_conf")).isString())
        __builtin_trap();
    return 0;
}
