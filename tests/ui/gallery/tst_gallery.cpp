#include "platform/scheduling/ManualClock.h"
#include "ui/gallery/GalleryWidget.h"
#include "ui/gallery/ShellGalleryPages.h"
#include "ui/toolkit/ViewController.h"

#include <QLabel>
#include <QTest>

using namespace corvane;

class TestGallery final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyShellPageBuildsOnAPhoneSizedWindow()
    {
        ManualClock clock;
        GalleryWidget gallery(shellGalleryPages());
        gallery.show();
        QCOMPARE(gallery.size(), QSize(375, 812));
        QVERIFY(gallery.pageCount() >= 6);
        for (qsizetype page = 0; page < gallery.pageCount(); ++page) {
            gallery.showPage(page);
            clock.advance(1.0);
            QCOMPARE(gallery.currentPage(), page);
            QVERIFY(!gallery.pageTitle(page).isEmpty());
        }
        QTest::keyClick(&gallery, Qt::Key_PageDown);
        QCOMPARE(gallery.currentPage(), 0);
        QTest::keyClick(&gallery, Qt::Key_Escape);
        QCOMPARE(gallery.currentPage(), -1);
    }

    void presentationStaysWithItsPage()
    {
        ManualClock clock;
        QPointer<ViewController> presented;
        QList<GalleryPage> pages{
            {QStringLiteral("presenting"),
             [&presented](QWidget *parent) -> QWidget * {
                 auto *screen = new ViewController(parent);
                 presented = new ViewController;
                 presented->setModalPresentationStyle(
                     ViewController::ModalPresentationStyle::FullScreen);
                 screen->presentViewController(presented, false);
                 return screen;
             }},
            {QStringLiteral("plain"),
             [](QWidget *parent) -> QWidget * {
                 auto *label = new QLabel(QStringLiteral("plain"), parent);
                 label->setObjectName(QStringLiteral("plain"));
                 return label;
             }},
        };
        GalleryWidget gallery(pages);
        gallery.show();
        gallery.showPage(0);
        clock.advance(1.0);
        QVERIFY(presented && presented->isVisible());
        gallery.showPage(1);
        QVERIFY(!presented->isVisible());
        QCOMPARE(gallery.childAt(187, 400)->objectName(), QStringLiteral("plain"));
    }
};

QTEST_MAIN(TestGallery)
#include "tst_gallery.moc"
