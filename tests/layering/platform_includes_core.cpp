// Must not build: the platform layer sees nothing above it.
#include "core/vpn/VpnManager.h"
