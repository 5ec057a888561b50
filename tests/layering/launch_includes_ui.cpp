// Must not build: what runs at launch needs no widgets.
#include "ui/toolkit/ScreenFactory.h"
