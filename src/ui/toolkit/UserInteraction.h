#pragma once

class QWidget;

namespace corvane {

// Whether a control takes clicks and keys. Unlike disabling it, switching interaction off
// leaves its look unchanged: clicks pass through to what lies beneath.
void setUserInteractionEnabled(QWidget *view, bool enabled);
bool isUserInteractionEnabled(const QWidget *view);

} // namespace corvane
