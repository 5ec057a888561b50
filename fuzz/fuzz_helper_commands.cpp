// Feeds arbitrary bytes to the helper's side of the channel: the command lines a window sends,
// in pieces of any size. Only a line that is exactly "stop" stops the tunnel, wherever the
// stream was cut.
#include "platform/tunnel/linux/ChannelLines.h"
#include "platform/tunnel/linux/TunnelChannel.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane;
    if (size == 0)
        return 0;
    const qsizetype piece = data[0] % 16 + 1;
    const QByteArrayView stream(reinterpret_cast<const char *>(data) + 1,
                                static_cast<qsizetype>(size) - 1);

    ChannelLines reader;
    qsizetype stops = 0;
    for (qsizetype at = 0; at < stream.size(); at += piece) {
        for (const QByteArray &line :
             reader.append(stream.sliced(at, std::min(piece, stream.size() - at)))) {
            if (TunnelChannel::isStopCommand(line))
                ++stops;
        }
    }
    // Every piece before a line break is a line; the text after the last one is not yet.
    QList<QByteArray> segments = stream.toByteArray().split('\n');
    segments.removeLast();
    if (stops != segments.count(QByteArray("stop")))
        __builtin_trap();
    return 0;
}
