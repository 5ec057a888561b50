// corvane-gallery-shot <folder>: shows each page of the gallery, lets its animations settle in
// real time, and saves the window as <folder>/<nn>.png (00 is the index).
#include "ui/gallery/FeedbackGalleryPages.h"
#include "ui/gallery/GalleryWidget.h"
#include "ui/gallery/MorphingGalleryPages.h"
#include "ui/gallery/ShellGalleryPages.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

namespace {
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: corvane-gallery-shot <folder>\n");
        return 2;
    }
    const QDir folder(args.at(1));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(args.at(1)));
        return 1;
    }
    corvane::GalleryWidget gallery(corvane::shellGalleryPages() + corvane::feedbackGalleryPages() +
                                   corvane::morphingGalleryPages());
    gallery.show();
    for (qsizetype page = -1; page < gallery.pageCount(); ++page) {
        gallery.showPage(page);
        settle(1200);
        const QString file =
            folder.filePath(QStringLiteral("%1.png").arg(page + 1, 2, 10, QLatin1Char('0')));
        if (!gallery.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s  %s\n", qPrintable(file), qPrintable(gallery.pageTitle(page)));
    }
    return 0;
}
