// Feeds arbitrary reply bodies through the same decoding a sign-in reply takes: the JSON
// reader, the envelope, and the order list inside its result.
#include "core/model/Mapper.h"
#include "core/model/SCOrderContent.h"
#include "core/network/SCResponse.h"
#include "platform/http/JsonReplyReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane;
    const QByteArray body(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto json = JsonReplyReader::parse(body);
    if (!json)
        return 0;
    const auto envelope = Mapper<SCResponse>().mapJSONObject(*json);
    if (!envelope || !envelope->result)
        return 0;
    if (const auto content = Mapper<SCOrderContent>().mapJSONObject(*envelope->result)) {
        volatile qsizetype sink = content->orderInfoList.size() + content->createTime.size();
        (void)sink;
    }
    return 0;
}
