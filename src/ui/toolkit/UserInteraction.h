#pragma once

class QKeyEvent;
class QWidget;

namespace corvane {

// Whether a control takes clicks and keys. Unlike disabling it, switching interaction off
// leaves its look unchanged and keeps its keyboard focus: clicks pass through to what lies
// beneath and keys go on to its parent, until interaction is on again.
void setUserInteractionEnabled(QWidget *view, bool enabled);
bool isUserInteractionEnabled(const QWidget *view);

// Return and Enter click the focused push button, as Space does; for the key handler of a
// screen, which hears the keys its buttons leave alone. Checkable buttons (switches, boxes)
// keep to Space. True when the key clicked a button.
bool activateFocusedButton(QKeyEvent *event);

} // namespace corvane
