#include "ui/gallery/GalleryButtonStyle.h"

#include <QPushButton>

namespace corvane {

void applyGalleryButtonStyle(QPushButton *button, int height)
{
    button->setMinimumHeight(height);
    // The focus ring replaces an equally wide transparent border, so focus moves nothing.
    button->setStyleSheet(
        QStringLiteral("QPushButton { background: #2E458B; color: white; border-radius: %1px; "
                       "border: 3px solid transparent; font-size: 16px; padding: 0 12px; } "
                       "QPushButton:pressed { background: #233669; } "
                       "QPushButton:focus { border-color: #F5A623; }")
            .arg(height / 2));
}

} // namespace corvane
