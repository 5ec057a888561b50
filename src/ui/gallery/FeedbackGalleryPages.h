#pragma once

#include "ui/gallery/GalleryPage.h"

#include <QList>

namespace corvane {

// Gallery pages of the feedback views: toasts, the three placeholders, decorations with the
// pulse, and the refresh controls. Buttons on the toast page are named "toast-<what>" so a
// script can press them.
QList<GalleryPage> feedbackGalleryPages();

} // namespace corvane
