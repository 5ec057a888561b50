#include "platform/scheduling/ManualClock.h"
#include "ui/feedback/toast/ToastHost.h"
#include "ui/gallery/FeedbackGalleryPages.h"

#include <QDir>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace corvane;

// Builds every feedback gallery page in the gallery's window and paints it. With
// CORVANE_GALLERY_SHOTS set to a folder, each page is also saved there as a PNG.
class TestFeedbackGallery final : public QObject
{
    Q_OBJECT

private:
    static void save(QWidget *window, const QString &name)
    {
        const QString folder = qEnvironmentVariable("CORVANE_GALLERY_SHOTS");
        const QPixmap shot = window->grab();
        QVERIFY(!shot.isNull());
        if (!folder.isEmpty())
            QVERIFY(shot.save(QDir(folder).filePath(name + QStringLiteral(".png"))));
    }

private Q_SLOTS:
    void everyPageBuildsAndPaints()
    {
        ManualClock clock(16);
        const QList<GalleryPage> pages = feedbackGalleryPages();
        QCOMPARE(pages.size(), 6);
        int index = 0;
        for (const GalleryPage &page : pages) {
            QWidget window;
            window.resize(375, 812);
            QWidget *content = page.make(&window);
            QVERIFY(content);
            QVERIFY(!page.title.isEmpty());
            content->setGeometry(window.rect());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            clock.advance(0.5);
            save(&window, QStringLiteral("feedback-%1").arg(index++));
        }
    }

    void toastPageShowsEveryKind()
    {
        ManualClock clock(16);
        QWidget window;
        window.resize(375, 812);
        QWidget *content = feedbackGalleryPages().first().make(&window);
        content->setGeometry(window.rect());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QStringList shots[] = {
            {QStringLiteral("toast-top"), QStringLiteral("toast-center"),
             QStringLiteral("toast-bottom")},
            {QStringLiteral("toast-success")},
            {QStringLiteral("toast-failure")},
            {QStringLiteral("toast-activity")},
        };
        int index = 0;
        for (const QStringList &buttons : shots) {
            for (const QString &name : buttons) {
                auto *button = content->findChild<QPushButton *>(name);
                QVERIFY(button);
                button->click();
            }
            clock.advance(0.4);
            ToastHost *host = ToastHost::find(content);
            QVERIFY(host);
            QVERIFY(!host->activeToasts().isEmpty() || host->activityView());
            save(&window, QStringLiteral("toast-%1").arg(index++));
            clock.advance(2.0);
        }
    }
};

QTEST_MAIN(TestFeedbackGallery)
#include "tst_feedbackgallery.moc"
