#pragma once

namespace corvane {

// Connects at launch through the service's tunnel host (as installed at start-up), so a tunnel
// can be brought up without the screens, for trying the tunnel's lifetime by hand.
class ConnectOnLaunch final
{
public:
    static void connect();
};

} // namespace corvane
