#pragma once

namespace corvane {

// Connects at launch through the relay named by CORVANE_TUNNEL_HOST (127.0.0.1 when unset), so
// a tunnel can be brought up without the screens, for trying the tunnel's lifetime by hand.
class ConnectOnLaunch final
{
public:
    static void connect();
};

} // namespace corvane
