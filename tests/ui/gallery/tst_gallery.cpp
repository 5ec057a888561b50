#include "platform/scheduling/ManualClock.h"
#include "ui/feedback/toast/ToastHost.h"
#include "ui/gallery/FeedbackGalleryPages.h"
#include "ui/gallery/GalleryWidget.h"
#include "ui/gallery/MorphingGalleryPages.h"
#include "ui/gallery/ShellGalleryPages.h"
#include "ui/morphing/DisplayLink.h"
#include "ui/morphing/MorphingLabel.h"
#include "ui/toolkit/ViewController.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>

using namespace std::chrono_literals;

using namespace corvane;

namespace {

// The pages of corvane-gallery.
QList<GalleryPage> allPages()
{
    return shellGalleryPages() + feedbackGalleryPages() + morphingGalleryPages();
}

// With CORVANE_GALLERY_SHOTS set to a folder, each page shown is saved there as a PNG.
void save(QWidget *window, const QString &name)
{
    const QString folder = qEnvironmentVariable("CORVANE_GALLERY_SHOTS");
    const QPixmap shot = window->grab();
    QVERIFY(!shot.isNull());
    if (!folder.isEmpty())
        QVERIFY(shot.save(QDir(folder).filePath(name + QStringLiteral(".png"))));
}

qsizetype indexOf(const GalleryWidget &gallery, const QString &title)
{
    for (qsizetype page = 0; page < gallery.pageCount(); ++page) {
        if (gallery.pageTitle(page) == title)
            return page;
    }
    return -1;
}

} // namespace

class TestGallery final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyPageBuildsAndPaints()
    {
        ManualClock clock(16);
        GalleryWidget gallery(allPages());
        gallery.show();
        QVERIFY(QTest::qWaitForWindowExposed(&gallery));
        QCOMPARE(gallery.pageCount(), allPages().size());
        for (qsizetype page = 0; page < gallery.pageCount(); ++page) {
            gallery.showPage(page);
            clock.advance(1s);
            QCOMPARE(gallery.currentPage(), page);
            QVERIFY(!gallery.pageTitle(page).isEmpty());
            save(&gallery, QStringLiteral("page-%1").arg(page));
        }
        QTest::keyClick(&gallery, Qt::Key_PageDown);
        QCOMPARE(gallery.currentPage(), 0);
        QTest::keyClick(&gallery, Qt::Key_Escape);
        QCOMPARE(gallery.currentPage(), -1);
    }

    void buttonsWearTheGalleryLook_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("toasts") << QStringLiteral("提示 Toasts");
        QTest::newRow("controls") << QStringLiteral("控件 · Controls");
        QTest::newRow("morphing") << QStringLiteral("Morphing label");
    }

    void buttonsWearTheGalleryLook()
    {
        QFETCH(QString, title);
        ManualClock clock;
        GalleryWidget gallery(allPages());
        gallery.show();
        gallery.showPage(indexOf(gallery, title));
        clock.advance(1s);
        int checked = 0;
        for (QPushButton *button : gallery.findChildren<QPushButton *>()) {
            if (!button->isVisible())
                continue;
            // Inside the rounded end, clear of the title: the fill of the navigation bar's blue.
            const int middle = button->height() / 2;
            const QPoint inside = button->mapTo(&gallery, QPoint(middle, middle));
            const QColor fill = gallery.grab(QRect(inside, QSize(1, 1))).toImage().pixelColor(0, 0);
            QVERIFY2(
                qAbs(fill.red() - 0x2E) + qAbs(fill.green() - 0x45) + qAbs(fill.blue() - 0x8B) < 24,
                qPrintable(button->text() + QLatin1Char(' ') + fill.name()));
            ++checked;
        }
        QVERIFY(checked > 0);
    }

    void returnClicksTheFocusedButtonOfAPage()
    {
        ManualClock clock;
        GalleryWidget gallery(feedbackGalleryPages());
        gallery.show();
        QApplication::setActiveWindow(&gallery);
        QVERIFY(QTest::qWaitForWindowActive(&gallery));
        gallery.showPage(indexOf(gallery, QStringLiteral("提示 Toasts")));
        auto *center = gallery.findChild<QPushButton *>(QStringLiteral("toast-center"));
        QVERIFY(center);
        center->setFocus(Qt::TabFocusReason);
        QTest::keyClick(gallery.windowHandle(), Qt::Key_Return);
        ToastHost *toasts = ToastHost::find(center->parentWidget());
        QVERIFY(toasts);
        QCOMPARE(toasts->activeToasts().size(), 1);
        clock.advance(3s);
    }

    void toastPageShowsEveryKind()
    {
        ManualClock clock(16);
        GalleryWidget gallery(feedbackGalleryPages());
        gallery.show();
        gallery.showPage(indexOf(gallery, QStringLiteral("提示 Toasts")));
        for (const char *name : {"toast-top", "toast-center", "toast-bottom", "toast-success",
                                 "toast-failure", "toast-activity"}) {
            auto *button = gallery.findChild<QPushButton *>(QString::fromLatin1(name));
            QVERIFY2(button, name);
            button->click();
            clock.advance(400ms);
            ToastHost *host = ToastHost::find(button->parentWidget());
            QVERIFY(host);
            QVERIFY2(!host->activeToasts().isEmpty() || host->activityView(), name);
            save(&gallery, QString::fromLatin1(name));
            clock.advance(2s);
        }
    }

    void everyEffectMorphsAndComesToRest()
    {
        ManualClock clock;
        QWidget host;
        host.resize(375, 812);
        QWidget *page = morphingGalleryPages().first().make(&host);
        page->resize(host.size());
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        const QList<MorphingLabel *> labels = page->findChildren<MorphingLabel *>();
        QList<MorphingEffect> effects;
        for (MorphingLabel *label : labels)
            effects.append(label->morphingEffect());
        for (int raw = 0; raw < MorphingEffects::allValues().size(); ++raw)
            QVERIFY(effects.contains(static_cast<MorphingEffect>(raw)));

        // Each effect's name sits level with its text.
        const QList<QLabel *> names = page->findChildren<QLabel *>();
        for (MorphingLabel *label : labels) {
            const QString name = MorphingEffects::name(label->morphingEffect());
            const auto found =
                std::find_if(names.cbegin(), names.cend(),
                             [&name](QLabel *candidate) { return candidate->text() == name; });
            QVERIFY2(found != names.cend(), qPrintable(name));
            QVERIFY2(qAbs(QRectF((*found)->geometry()).center().y() -
                          QRectF(label->geometry()).center().y()) <= 2.0,
                     qPrintable(name));
        }

        const QString first = labels.first()->text();
        page->findChild<QPushButton *>()->click();
        for (MorphingLabel *label : labels) {
            QVERIFY(label->text() != first);
            QCOMPARE(label->previousText(), first);
        }
        for (int i = 0; i < 120; ++i) {
            clock.advance(16ms);
            QCoreApplication::sendPostedEvents();
            page->repaint();
        }
        for (MorphingLabel *label : labels)
            QVERIFY(label->displayLink()->isPaused());
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
        clock.advance(1s);
        QVERIFY(presented && presented->isVisible());
        gallery.showPage(1);
        QVERIFY(!presented->isVisible());
        QCOMPARE(gallery.childAt(187, 400)->objectName(), QStringLiteral("plain"));
    }
};

QTEST_MAIN(TestGallery)
#include "tst_gallery.moc"
