// Must not build: the screens know nothing of how a program starts.
#include "launch/LaunchEnvironment.h"
