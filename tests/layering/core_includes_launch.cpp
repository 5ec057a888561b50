// Must not build: the core layer knows nothing of how a program starts.
#include "launch/LaunchEnvironment.h"
