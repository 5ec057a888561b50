// Feeds arbitrary configurations to the helper's reading of what a window hands it: a JSON
// object of seven keys whose "json_conf" is itself a rules document. A configuration that is
// accepted can carry a tunnel.
#include "tunnel/client/TunnelConfiguration.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane::tunnel;
    const auto parsed = TunnelConfiguration::parse({reinterpret_cast<const char *>(data), size});
    if (const auto *configuration = std::get_if<TunnelConfiguration>(&parsed)) {
        if (configuration->relayHost.empty() || configuration->relayPort == 0)
            __builtin_trap();
        configuration->rules.decide(*TargetAddress::fromHost("example.com", 80));
    }
    return 0;
}
