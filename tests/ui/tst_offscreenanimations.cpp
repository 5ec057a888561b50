#include "platform/scheduling/ManualClock.h"
#include "ui/common/PauseWhileHidden.h"
#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/pulse/PulseHalo.h"
#include "ui/feedback/pulse/PulseView.h"
#include "ui/feedback/views/ActivityIndicator.h"
#include "ui/gallery/FeedbackGalleryPages.h"
#include "ui/gallery/GalleryWidget.h"
#include "ui/gallery/MorphingGalleryPages.h"
#include "ui/gallery/ShellGalleryPages.h"

#include <QExposeEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTest>
#include <QVariantAnimation>
#include <functional>

using namespace std::chrono_literals;

using namespace corvane;

namespace {

// Records the area of every paint a widget receives.
class PaintLog final : public QObject
{
public:
    explicit PaintLog(QWidget *widget) : QObject(widget) { widget->installEventFilter(this); }
    QRegion painted;
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent *>(event)->region();
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

// What the platform tells a window the window manager unmaps (another workspace) and maps again.
void expose(QWidget &window, const QRegion &region)
{
    QExposeEvent event(region);
    QCoreApplication::sendEvent(window.windowHandle(), &event);
}

QList<QAbstractAnimation *> running(const QObject *root)
{
    QList<QAbstractAnimation *> found;
    for (QAbstractAnimation *animation : root->findChildren<QAbstractAnimation *>()) {
        if (animation->state() == QAbstractAnimation::Running)
            found.append(animation);
    }
    return found;
}

} // namespace

// Endless animations stand still while nothing of them is on screen, and go on from where they
// were once it is again.
class TestOffscreenAnimations final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pausesWhileOffScreen_data()
    {
        QTest::addColumn<std::function<void(QWidget &, QWidget *)>>("away");
        QTest::addColumn<std::function<void(QWidget &, QWidget *)>>("back");
        QTest::newRow("window hidden")
            << std::function([](QWidget &window, QWidget *) { window.hide(); })
            << std::function([](QWidget &window, QWidget *) { window.show(); });
        QTest::newRow("window minimised")
            << std::function([](QWidget &window, QWidget *) { window.showMinimized(); })
            << std::function([](QWidget &window, QWidget *) { window.showNormal(); });
        QTest::newRow("window unexposed")
            << std::function([](QWidget &window, QWidget *) { expose(window, QRegion()); })
            << std::function([](QWidget &window, QWidget *) { expose(window, window.rect()); });
        QTest::newRow("parent hidden")
            << std::function([](QWidget &, QWidget *page) { page->hide(); })
            << std::function([](QWidget &, QWidget *page) { page->show(); });
    }

    void pausesWhileOffScreen()
    {
        QFETCH(std::function<void(QWidget &, QWidget *)>, away);
        QFETCH(std::function<void(QWidget &, QWidget *)>, back);
        ManualClock clock(10);
        QWidget window;
        auto *page = new QWidget(&window);
        auto *view = new QWidget(page);
        window.show();
        auto *animation = new QVariantAnimation(view);
        animation->setStartValue(0.0);
        animation->setEndValue(1.0);
        animation->setDuration(1000);
        animation->setLoopCount(-1);
        PauseWhileHidden::start(animation, view);
        clock.advance(200ms);
        QCOMPARE(animation->state(), QAbstractAnimation::Running);

        away(window, page);
        QCOMPARE(animation->state(), QAbstractAnimation::Paused);
        const int at = animation->currentTime();
        clock.advance(500ms);
        QCOMPARE(animation->currentTime(), at);

        back(window, page);
        QCOMPARE(animation->state(), QAbstractAnimation::Running);
        clock.advance(100ms);
        QVERIFY(animation->currentTime() > at);
        QVERIFY(animation->currentTime() < at + 200);
    }

    void startsHeldWhenOffScreenAndLeavesOthersPausesAlone()
    {
        ManualClock clock(10);
        QWidget window;
        auto *indicator = new ActivityIndicator(&window);
        indicator->startAnimating(); // before the window was ever shown
        QVERIFY(indicator->isAnimating());
        QVERIFY(running(&window).isEmpty());
        window.show();
        QCOMPARE(running(&window).size(), 1);
        indicator->startAnimating(); // no second animation
        QCOMPARE(indicator->findChildren<QAbstractAnimation *>().size(), 1);

        // Paused by its owner, an animation stays paused when its widget comes back.
        QAbstractAnimation *animation = running(&window).first();
        animation->pause();
        window.hide();
        window.show();
        QCOMPARE(animation->state(), QAbstractAnimation::Paused);
    }

    void galleryIndexTicksNothing()
    {
        ManualClock clock(16);
        GalleryWidget gallery(shellGalleryPages() + feedbackGalleryPages() +
                              morphingGalleryPages());
        gallery.show();
        for (qsizetype page = 0; page < gallery.pageCount(); ++page) {
            gallery.showPage(page);
            clock.advance(100ms);
        }
        gallery.showPage(-1);
        clock.advance(500ms);
        QCOMPARE(running(&gallery), QList<QAbstractAnimation *>());
    }

    void pulseFrameRepaintsTheHaloAlone_data()
    {
        QTest::addColumn<bool>("onBackdrop");
        QTest::newRow("over whatever lies beneath") << false;
        QTest::newRow("on the window's plain backdrop") << true;
    }

    void pulseFrameRepaintsTheHaloAlone()
    {
        QFETCH(bool, onBackdrop);
        ManualClock clock(16);
        QWidget window;
        window.resize(375, 812);
        window.setAutoFillBackground(true);
        auto *button = new QWidget(&window);
        button->setGeometry(107, 326, 160, 160);
        ViewDecoration::of(button)->setCornerRadius(80);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PulseView::startPulse(button, Qt::white, PulseView::radar);
        PulseHalo *halo = PulseView::externalBorderLayer(button);
        QVERIFY(halo);
        if (onBackdrop)
            halo->setBackdrop(window.palette().color(QPalette::Window));
        QCoreApplication::processEvents();

        auto *windowPaints = new PaintLog(&window);
        auto *haloPaints = new PaintLog(halo);
        QList<qreal> scales;
        for (int frame = 0; frame < 60; ++frame) {
            clock.advance(16ms);
            QCoreApplication::processEvents();
            if (haloPaints->paints > scales.size())
                scales.append(halo->scale());
        }
        // A frame for about every pixel and a half the edge moves.
        QVERIFY(scales.size() > 8);
        for (qsizetype i = 1; i < scales.size(); ++i) {
            const qreal moved = (scales[i] - scales[i - 1]) * button->width() / 2;
            QVERIFY2(moved < 0 || (moved > 1.2 && moved < 2.0), qPrintable(QString::number(moved)));
        }
        const QRect reach = halo->geometry();
        QVERIFY(reach.width() <= qCeil(160 * 1.4) + 1);
        // On its backdrop the halo paints the window's colour itself: nothing beneath repaints.
        if (onBackdrop)
            QCOMPARE(windowPaints->paints, 0);
        QVERIFY(windowPaints->painted.boundingRect().isEmpty() ||
                reach.contains(windowPaints->painted.boundingRect()));
        // On frames of its own rather than Qt's 60 Hz animation timer, and none out of sight.
        QVERIFY(running(&window).isEmpty());
        expose(window, QRegion());
        const int paints = haloPaints->paints;
        clock.advance(500ms);
        QCOMPARE(haloPaints->paints, paints);
    }
};

QTEST_MAIN(TestOffscreenAnimations)
#include "tst_offscreenanimations.moc"
