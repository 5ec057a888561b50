// Feeds arbitrary replies to the text reader the public-address lookup uses: the first line is
// the Content-Type (with its charset), the rest the body.
#include "platform/http/TextReplyReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane;
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype end = input.indexOf('\n');
    const QByteArray contentType = end < 0 ? QByteArray() : input.left(end);
    const QByteArray body = end < 0 ? input : input.mid(end + 1);
    HttpReply reply;
    reply.contentType = contentType;
    reply.body = body;
    const std::optional<QString> text = TextReplyReader::read(reply);
    if (!text)
        __builtin_trap();
    volatile qsizetype sink = text->size();
    (void)sink;
    return 0;
}
