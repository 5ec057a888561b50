// Must not build: the toolkit knows no screen of the application.
#include "screens/MainScreens.h"
