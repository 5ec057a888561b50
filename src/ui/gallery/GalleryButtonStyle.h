#pragma once

#include <QString>

class QPushButton;

namespace corvane {

// The look of every button in the gallery: a filled pill in the navigation bar's blue with
// white text, and a ring in a contrasting colour while it has keyboard focus.
QString galleryButtonStyleSheet(int height);
// Applies that look to `button`, `height` points tall.
void applyGalleryButtonStyle(QPushButton *button, int height);

} // namespace corvane
