// corvane-gallery: the navigation shell, feedback and morphing label pages in a window of
// the layouts' design size; PageUp/PageDown step through them, Escape returns to the index.
#include "ui/gallery/FeedbackGalleryPages.h"
#include "ui/gallery/GalleryWidget.h"
#include "ui/gallery/MorphingGalleryPages.h"
#include "ui/gallery/ShellGalleryPages.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvane-gallery"));
    corvane::GalleryWidget window(corvane::shellGalleryPages() + corvane::feedbackGalleryPages() +
                                  corvane::morphingGalleryPages());
    window.show();
    return QApplication::exec();
}
