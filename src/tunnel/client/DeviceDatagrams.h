#pragma once

#include "tunnel/client/DatagramChannel.h"
#include "tunnel/client/DatagramFlow.h"
#include "tunnel/packet/IpEndpoint.h"

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

namespace corvane::tunnel {

// The system-wide mode's datagrams (but DNS): each program's socket, its source address and
// port, is carried as a SOCKS5 client's association would be, with a channel to the relay's
// datagram side and a flow per destination under the rules (a direct one from a socket of the
// helper's own, marked to leave by the real route). Answers go back to the program as if from
// the destination. A source ends with its last flow, idle.
class DeviceDatagrams final
{
public:
    using Answer =
        std::function<void(const IpEndpoint &from, const IpEndpoint &to, ByteView payload)>;

    DeviceDatagrams(ProxyContext &context, Answer answer);
    ~DeviceDatagrams();
    DeviceDatagrams(const DeviceDatagrams &) = delete;
    DeviceDatagrams &operator=(const DeviceDatagrams &) = delete;

    void carry(const IpEndpoint &source, const IpEndpoint &destination, ByteView payload);
    void closeAll();
    std::size_t sourceCount() const { return m_sources.size(); }

private:
    struct Source
    {
        IpEndpoint address;
        std::unique_ptr<DatagramChannel> relay;
        std::unordered_map<std::string, std::unique_ptr<DatagramFlow>> flows;
    };

    DatagramFlow *flowTo(Source &source, const TargetAddress &destination);
    void fromRelay(const std::string &key, Datagram &&answer);
    void answer(const Source &source, const TargetAddress &from, ByteView payload);
    void ended(const std::string &key, DatagramFlow &flow);

    ProxyContext &m_context;
    Answer m_answer;
    std::unordered_map<std::string, Source> m_sources;
};

} // namespace corvane::tunnel
