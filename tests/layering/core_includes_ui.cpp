// Must not build: the core layer sees no widgets.
#include "ui/toolkit/ScreenFactory.h"
