// Must not build: the screens know nothing of how the application starts.
#include "app/AppDelegate.h"
