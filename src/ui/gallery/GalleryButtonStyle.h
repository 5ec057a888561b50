#pragma once

class QPushButton;

namespace corvane {

// Gives `button`, `height` points tall, the look of every button in the gallery: a filled pill
// in the navigation bar's blue with white text, ringed in a contrasting colour while it has
// keyboard focus.
void applyGalleryButtonStyle(QPushButton *button, int height);

} // namespace corvane
