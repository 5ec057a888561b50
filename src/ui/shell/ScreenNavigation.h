#pragma once

#include <QObject>
#include <functional>

namespace corvane {

class BarButtonItem;
class ViewController;

// Going back and showing another screen, the same way from every screen.

// Leaves `screen`: the root of a stack closes the presentation that holds the stack; a deeper
// screen pops the top of its stack; a screen outside any stack closes its own presentation.
void sc_dismissViewController(ViewController *screen);
// The action form of sc_dismissViewController, for buttons.
void back(ViewController *screen);
// Shows `next`: pushed onto `screen`'s stack, or, when `screen` has none, presented inside a new
// SCBaseNavigationController whose left bar item goes back.
void sc_pushViewController(ViewController *screen, ViewController *next, bool animated);
// The left bar item of a presented screen: a plain 44 x 44 button that calls `action`.
BarButtonItem *sc_barButtonItem(QObject *target, std::function<void()> action);

} // namespace corvane
