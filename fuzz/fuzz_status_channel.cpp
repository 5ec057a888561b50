// Feeds arbitrary bytes to the window's side of the status channel: the lines a helper sends
// (statuses, its proxies' ports and why the tunnel went down), arriving in pieces of any size, and
// the status file. Cutting the stream elsewhere must not change the lines, and no line may outgrow
// the protocol.
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

    const QList<QByteArray> whole = ChannelLines().append(stream);
    ChannelLines reader;
    QList<QByteArray> pieces;
    for (qsizetype at = 0; at < stream.size(); at += piece)
        pieces += reader.append(stream.sliced(at, std::min(piece, stream.size() - at)));
    if (pieces != whole)
        __builtin_trap();
    for (const QByteArray &line : whole) {
        if (line.size() > ChannelLines::kMaxLine || line.contains('\n'))
            __builtin_trap();
        // In the order the window tries them.
        if (const auto ports = TunnelChannel::parseProxyLine(line)) {
            if (ports->socks == 0 || ports->http == 0)
                __builtin_trap();
        } else if (const auto reason = TunnelChannel::parseReasonLine(line)) {
            const auto again = TunnelChannel::parseReasonLine(
                TunnelChannel::reasonLine(reason->kind, reason->detail));
            if (!again || again->kind != reason->kind ||
                again->detail != reason->detail.simplified())
                __builtin_trap();
        } else if (const auto status = TunnelChannel::parseStatus(line)) {
            if (tunnelStatusFromName(tunnelStatusName(*status)) != status)
                __builtin_trap();
        }
    }
    volatile bool sink = TunnelChannel::parseStatus(stream).has_value();
    (void)sink;
    return 0;
}
