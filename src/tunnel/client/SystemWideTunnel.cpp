#include "tunnel/client/SystemWideTunnel.h"

namespace corvane::tunnel {

namespace {
constexpr std::uint16_t kDnsPort = 53;
} // namespace

SystemWideTunnel::SystemWideTunnel(ProxyContext &context, TunDevice device,
                                   PacketPath::Settings settings,
                                   std::optional<TargetAddress> dnsServer)
    : m_context(context), m_settings(settings),
      m_path(std::make_unique<PacketPath>(
          context.loop, std::move(device), settings,
          PacketPath::Handlers{
              [this](const IpEndpoint &source, const IpEndpoint &destination, ByteView payload) {
                  if (m_dns && destination.port == kDnsPort)
                      m_dns->ask(source, destination, payload);
                  else
                      m_datagrams.carry(source, destination, payload);
              },
              [this](const TunnelError &error) {
                  m_context.log("The system-wide mode stops: " + error.description);
                  m_proxy.closeAll();
              }})),
      m_proxy(context, *m_path),
      m_datagrams(context, [this](const IpEndpoint &from, const IpEndpoint &to, ByteView payload) {
          m_path->sendDatagram(from, to, payload);
      })
{
    if (!dnsServer)
        return;
    m_proxy.sendDnsTo(*dnsServer);
    m_dns = std::make_unique<DnsForwarder>(
        context, *dnsServer, [this](const IpEndpoint &from, const IpEndpoint &to, ByteView answer) {
            m_path->sendDatagram(from, to, answer);
        });
}

SystemWideTunnel::~SystemWideTunnel()
{
    stop();
}

std::string SystemWideTunnel::start()
{
    if (const std::optional<TunnelError> error = m_path->start())
        return "Cannot read the TUN device: " + error->description;
    std::vector<IpEndpoint> addresses{m_settings.listener4};
    if (m_settings.listener6.v6)
        addresses.push_back(m_settings.listener6);
    return m_proxy.listen(addresses);
}

void SystemWideTunnel::stop()
{
    if (m_dns)
        m_dns->closeAll();
    m_datagrams.closeAll();
    m_proxy.closeAll();
    // The resets are in the device's queue: carried out, they end the programs' connections.
    if (m_path)
        m_path->carryQueued();
    m_path.reset();
}

} // namespace corvane::tunnel
