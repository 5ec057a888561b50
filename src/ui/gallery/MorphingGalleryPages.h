#pragma once

#include "ui/gallery/GalleryPage.h"

#include <QList>

namespace corvane {

// Gallery pages of the morphing label: one label per effect, morphing together through a
// cycle of texts at each press of a button.
QList<GalleryPage> morphingGalleryPages();

} // namespace corvane
