#pragma once

namespace corvane {

// Registers the screens of the "Main" layout in ScreenFactory::named("Main") under their
// identifiers: "login" (the first screen), "home", "list" (the province list) and "quick" (the
// quick connect screen). Safe to call more than once.
void registerMainScreens();

} // namespace corvane
