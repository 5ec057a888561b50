#pragma once

#include "ui/gallery/GalleryPage.h"

#include <QList>

namespace corvane {

// Gallery pages of the navigation shell: bar, push and pop, presentations, action sheet,
// table, controls and tab bar.
QList<GalleryPage> shellGalleryPages();

} // namespace corvane
