#include "LabelFixture.h"
#include "platform/scheduling/ManualAnimationDriver.h"
#include "ui/morphing/DisplayLink.h"
#include "ui/morphing/MorphingLabel.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

namespace {

using DelegateLog = LabelFixture::Log;

} // namespace

class TestMorphingLabel final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void frameBudgetAt60Hz();
    void morphLastsTheSameOnEveryScreen_data();
    void morphLastsTheSameOnEveryScreen();
    void frameBudgetAt30Hz();
    void progressIsClamped_data();
    void progressIsClamped();
    void sameTextChangesNothing();
    void disabledMorphingChangesAtOnce();
    void startClosureSuppressesDidStart();
    void textChangeDuringMorphRestarts();
    void displayLinkPausesAtCompletion();
    void layoutFollowsAlignmentAndSize();
    void defaultFontIs15Pixels();
    void statusIsReadAloud();
    void finalFrameShowsTheNewTextOnly();

private:
    void tickUntilFirstFrame(MorphingLabel &label);
    void tickUntilComplete(MorphingLabel &label, const DelegateLog &log, int limit = 200);

    std::unique_ptr<ManualAnimationDriver> m_driver;
    std::unique_ptr<LabelFixture> m_fixture;
};

void TestMorphingLabel::initTestCase()
{
    // One driver for all tests: Qt's animation timer keeps its last tick across drivers.
    m_driver = std::make_unique<ManualAnimationDriver>(16);
}

void TestMorphingLabel::init()
{
    m_fixture = std::make_unique<LabelFixture>(QSize(300, 60));
}

void TestMorphingLabel::cleanup()
{
    m_fixture.reset();
    QCoreApplication::processEvents();
}

void TestMorphingLabel::tickUntilFirstFrame(MorphingLabel &label)
{
    // The animation timer may spend its first frame after a start on finding its base time.
    for (int i = 0; i < 3 && label.currentFrame() == 0; ++i)
        m_driver->advanceBy(16);
    QCOMPARE(label.currentFrame(), 1);
}

void TestMorphingLabel::tickUntilComplete(MorphingLabel &label, const DelegateLog &log, int limit)
{
    const int before = log.completed;
    for (int i = 0; i < limit && log.completed == before; ++i)
        m_driver->advanceBy(16);
    QCOMPARE(log.completed, before + 1);
    QVERIFY(label.displayLink()->isPaused());
}

void TestMorphingLabel::frameBudgetAt60Hz()
{
    MorphingLabel *label = &m_fixture->label();
    const DelegateLog &log = m_fixture->log();
    label->setText(u"0123456789"_s);
    QVERIFY(label->displayLink());
    QCOMPARE(label->displayLink()->frameDuration(), 1.0 / 60.0);
    QCOMPARE(log.started, 1);

    // The ticks are driven here one by one; the link's own timing has a test of its own.
    label->displayLink()->setPaused(true);
    label->displayFrameTick();
    QCOMPARE(label->totalFrames(), 36);
    QCOMPARE(label->totalDelayFrames(), 16);
    QCOMPARE(label->currentFrame(), 1);

    for (int frame = 2; frame < 57; ++frame)
        label->displayFrameTick();
    QCOMPARE(label->currentFrame(), 56);
    QCOMPARE(log.completed, 0);
    QCOMPARE(log.progress.size(), 56);
    QCOMPARE(log.progress.at(35), 36.0f / 36.0f);

    label->displayFrameTick();
    QCOMPARE(label->currentFrame(), 57);
    QCOMPARE(log.completed, 1);
    QCOMPARE(log.progress.size(), 56);
    QVERIFY(label->displayLink()->isPaused());
}

void TestMorphingLabel::morphLastsTheSameOnEveryScreen_data()
{
    QTest::addColumn<int>("hertz");
    QTest::addColumn<int>("stepMs");

    // Qt's animation timer runs at about 16 ms whatever the screen; a driver tied to the
    // screen's refresh steps at the screen's own pace.
    QTest::newRow("30 Hz") << 30 << 16;
    QTest::newRow("60 Hz") << 60 << 16;
    QTest::newRow("120 Hz") << 120 << 16;
    QTest::newRow("144 Hz") << 144 << 16;
    QTest::newRow("120 Hz, driver at the screen's pace") << 120 << 8;
    QTest::newRow("144 Hz, driver at the screen's pace") << 144 << 7;
}

void TestMorphingLabel::morphLastsTheSameOnEveryScreen()
{
    QFETCH(int, hertz);
    QFETCH(int, stepMs);

    MorphingLabel *label = &m_fixture->label();
    label->setMorphingEnabled(false);
    label->setText(u"未连接"_s);
    label->setMorphingEnabled(true);
    qint64 now = 0;
    qint64 firstTick = -1;
    qint64 fullProgress = -1;
    qint64 completed = -1;
    auto delegate = std::make_unique<MorphingLabelDelegate>();
    delegate->morphingOnProgress = [&](MorphingLabel *, float progress) {
        if (firstTick < 0)
            firstTick = now;
        if (fullProgress < 0 && progress >= 1.0f - 1e-4f)
            fullProgress = now;
    };
    delegate->morphingDidComplete = [&](MorphingLabel *) { completed = now; };
    label->setDelegate(delegate.get());
    label->setText(u"已连接"_s);
    // Stands in for a screen of that rate.
    label->displayLink()->setFrameDuration(1.0 / hertz);

    while (completed < 0 && now < 5000) {
        m_driver->advanceBy(stepMs);
        now += stepMs;
    }
    QVERIFY2(completed >= 0, "the morph never completed");

    // 0.6 s of frames, ⌈3 × 0.026 s⌉ of delay frames and 5 more, each 1 / hertz long.
    const int frames = static_cast<int>(std::ceil(0.6 * hertz - 1e-6));
    const int delayFrames = static_cast<int>(std::ceil(3 * 0.026 * hertz - 1e-6));
    QCOMPARE(label->totalFrames(), frames);
    QCOMPARE(label->totalDelayFrames(), delayFrames);
    const double frameMs = 1000.0 / hertz;
    // Each frame lands on the timer update nearest to it, so times are good to a step.
    const double tolerance = std::max<double>(stepMs, frameMs / 2) + 1;
    const double toFull = static_cast<double>(fullProgress - firstTick);
    QVERIFY2(qAbs(toFull - (frames - 1) * frameMs) <= tolerance,
             qPrintable(u"full progress after %1 ms"_s.arg(toFull)));
    QVERIFY2(qAbs(toFull - 600.0) <= frameMs + tolerance,
             qPrintable(u"full progress after %1 ms"_s.arg(toFull)));
    const double toEnd = static_cast<double>(completed - firstTick);
    QVERIFY2(qAbs(toEnd - (frames + delayFrames + 5 - 1) * frameMs) <= tolerance,
             qPrintable(u"completed after %1 ms"_s.arg(toEnd)));
}

void TestMorphingLabel::frameBudgetAt30Hz()
{
    MorphingLabel *label = &m_fixture->label();
    label->setMorphingEnabled(false);
    label->setText(u"abc"_s);
    label->setMorphingEnabled(true);
    label->setText(u"xyz"_s);
    label->displayLink()->setFrameDuration(1.0 / 60.0);
    label->displayLink()->setPreferredFramesPerSecond(30);
    QCOMPARE(label->displayLink()->frameInterval(), 2);
    label->displayLink()->setPaused(true);
    label->displayFrameTick();
    // Ticks 1/30 s apart: 0.6 s is 18 of them, ⌈3 × 0.026 × 30⌉ = 3 more for the delay.
    QCOMPARE(label->totalFrames(), 18);
    QCOMPARE(label->totalDelayFrames(), 3);

    // The link itself ticks on every other 60 Hz frame.
    label->setText(u"abc"_s);
    tickUntilFirstFrame(*label);
    for (int i = 0; i < 10; ++i)
        m_driver->advanceBy(16);
    QVERIFY2(label->currentFrame() >= 5 && label->currentFrame() <= 6,
             qPrintable(QString::number(label->currentFrame())));
}

void TestMorphingLabel::progressIsClamped_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QList<qreal>>("oldAlpha");
    QTest::addColumn<QList<bool>>("newFullSize");

    // Old characters lead by 0.026 per index, new ones lag by as much; both stay in [0, 1].
    QTest::newRow("start") << 0 << QList<qreal>{1.0, 1.0 - 0.026, 1.0 - 0.052}
                           << QList<bool>{false, false, false};
    QTest::newRow("past the end") << 45 << QList<qreal>{0.0, 0.0, 0.0}
                                  << QList<bool>{true, true, true};
}

void TestMorphingLabel::progressIsClamped()
{
    QFETCH(int, ticks);
    QFETCH(QList<qreal>, oldAlpha);
    QFETCH(QList<bool>, newFullSize);

    MorphingLabel *label = &m_fixture->label();
    label->setText(u"abc"_s);
    label->setMorphingEnabled(false);
    label->setText(u"abd"_s);
    label->setMorphingEnabled(true);
    label->setText(u"xyz"_s);
    label->displayLink()->setPaused(true);
    // Drive the ticks directly so the morph does not end before the progress passes 1.
    for (int i = 0; i < ticks; ++i)
        label->displayFrameTick();

    const QList<CharacterLimbo> limbos = label->limboOfCharacters();
    QCOMPARE(limbos.size(), 6);
    const qreal pointSize = label->fontSize();
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(qAbs(limbos[i].alpha - oldAlpha[i]) < 1e-4,
                 qPrintable(QString::number(limbos[i].alpha)));
        QVERIFY(limbos[i].size > 0.0 && limbos[i].size <= pointSize);
        const CharacterLimbo &added = limbos[3 + i];
        QCOMPARE(added.character, QString(u"xyz"_s.at(i)));
        QCOMPARE(qFuzzyCompare(added.size, pointSize), newFullSize[i]);
        QVERIFY(added.size >= 0.0001);
    }
}

void TestMorphingLabel::sameTextChangesNothing()
{
    MorphingLabel *label = &m_fixture->label();
    const DelegateLog &log = m_fixture->log();
    label->setText(u"ab"_s);
    tickUntilComplete(*label, log);
    const int frame = label->currentFrame();

    label->setText(u"ab"_s);
    QCOMPARE(log.started, 1);
    QCOMPARE(label->currentFrame(), frame);
    QCOMPARE(label->previousText(), QString());
    QVERIFY(label->displayLink()->isPaused());
}

void TestMorphingLabel::disabledMorphingChangesAtOnce()
{
    MorphingLabel *label = &m_fixture->label();
    const DelegateLog &log = m_fixture->log();
    label->setMorphingEnabled(false);
    label->setText(u"未连接"_s);
    label->setText(u"已连接"_s);

    QCOMPARE(label->text(), u"已连接"_s);
    QCOMPARE(label->previousText(), u"未连接"_s);
    QVERIFY(!label->displayLink());
    m_driver->advanceBy(160);
    QCOMPARE(log.started, 0);
    QCOMPARE(log.completed, 0);
    QVERIFY(log.progress.isEmpty());
}

void TestMorphingLabel::startClosureSuppressesDidStart()
{
    MorphingLabel *label = &m_fixture->label();
    const DelegateLog &log = m_fixture->log();
    int closureCalls = 0;
    label->startClosures()[MorphingEffects::key(MorphingEffect::scale, MorphingPhases::start)] =
        [&closureCalls] { ++closureCalls; };

    label->setText(u"one"_s);
    QCOMPARE(closureCalls, 1);
    QCOMPARE(log.started, 0);

    // A closure of another effect does not count.
    label->setMorphingEffect(MorphingEffect::evaporate);
    label->setText(u"two"_s);
    QCOMPARE(closureCalls, 1);
    QCOMPARE(log.started, 1);
}

void TestMorphingLabel::textChangeDuringMorphRestarts()
{
    MorphingLabel *label = &m_fixture->label();
    const DelegateLog &log = m_fixture->log();
    label->setText(u"abc"_s);
    tickUntilFirstFrame(*label);
    for (int i = 1; i < 10; ++i)
        m_driver->advanceBy(16);
    QCOMPARE(label->currentFrame(), 10);

    label->setText(u"abd"_s);
    QCOMPARE(log.started, 2);
    QCOMPARE(label->currentFrame(), 0);
    QCOMPARE(label->totalFrames(), 0);
    QCOMPARE(label->morphingProgress(), 0.0f);
    // The diff is against the text last set, not against what was half drawn.
    QCOMPARE(label->previousText(), u"abc"_s);
    QVERIFY(label->diffResults());
    QCOMPARE(label->diffResults()->results,
             (QList{CharacterDiffResult::same(), CharacterDiffResult::same(),
                    CharacterDiffResult::deleted()}));

    tickUntilComplete(*label, log);
    // 36 frames, ⌈3 × 0.026 × 60⌉ = 5 delay frames and 5 more.
    QCOMPARE(label->currentFrame(), 46);
    QCOMPARE(log.completed, 1);
}

void TestMorphingLabel::displayLinkPausesAtCompletion()
{
    MorphingLabel *label = &m_fixture->label();
    QVERIFY(!label->displayLink());
    const DelegateLog &log = m_fixture->log();
    label->setText(u"idle"_s);
    QVERIFY(!label->displayLink()->isPaused());
    m_driver->advanceBy(16);
    QVERIFY(m_driver->isRunning());

    tickUntilComplete(*label, log);
    QCoreApplication::processEvents();
    // Nothing else animates, so Qt's animation timer stops altogether: no wake-ups while idle.
    QVERIFY(!m_driver->isRunning());

    // The next morph reuses the same link.
    DisplayLink *link = label->displayLink();
    label->setText(u"busy"_s);
    QCOMPARE(label->displayLink(), link);
    QVERIFY(!link->isPaused());
}

void TestMorphingLabel::layoutFollowsAlignmentAndSize()
{
    MorphingLabel *label = &m_fixture->label();
    label->show();
    label->resize(200, 40);
    label->setText(u"ab"_s);
    const QList<QRectF> left = label->newRects();
    QCOMPARE(left.size(), 2);
    QCOMPARE(left[0].x(), 0.0);
    QCOMPARE(left[1].x(), left[0].width());
    QCOMPARE(left[0].y(), (40 - label->charHeight()) / 2);
    const qreal width = label->totalWidth();

    label->setAlignment(Qt::AlignHCenter);
    QCOMPARE(label->newRects()[0].x(), (200 - width) / 2);
    label->setAlignment(Qt::AlignRight);
    QCOMPARE(label->newRects()[0].x(), 200 - width);

    label->resize(100, 80);
    QCOMPARE(label->newRects()[0].x(), 100 - width);
    QCOMPARE(label->newRects()[0].y(), (80 - label->charHeight()) / 2);

    QFont bigger = label->font();
    bigger.setPointSizeF(30);
    label->setFont(bigger);
    QVERIFY(label->totalWidth() > width);
    QCOMPARE(label->previousRects().size(), 0);
}

void TestMorphingLabel::defaultFontIs15Pixels()
{
    // One point is one pixel across the project, so the default is 15 pixels, not points.
    MorphingLabel label(nullptr);
    QCOMPARE(label.font().pixelSize(), 15);
    QCOMPARE(label.fontSize(), 15.0);
    QFont font = label.font();
    font.setPointSizeF(22);
    label.setFont(font);
    QCOMPARE(label.fontSize(), 22.0);
    font.setPixelSize(18);
    label.setFont(font);
    QCOMPARE(label.fontSize(), 18.0);
}

void TestMorphingLabel::statusIsReadAloud()
{
    MorphingLabel *label = &m_fixture->label();
    label->setText(u"未连接"_s);
    QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(label);
    QVERIFY(reader);
    QCOMPARE(reader->role(), QAccessible::StaticText);
    QCOMPARE(reader->text(QAccessible::Name), u"未连接"_s);
    QAccessibleTextInterface *text = reader->textInterface();
    QVERIFY(text);
    QCOMPARE(text->characterCount(), 3);
    QCOMPARE(text->text(0, text->characterCount()), u"未连接"_s);
    QVERIFY(text->characterRect(1).width() > 0);

    // The new text is told at once, before the characters have morphed into it. (Qt hands
    // the change events only to a live platform bridge; the AT-SPI test listens to them.)
    label->setText(u"已连接"_s);
    QCOMPARE(reader->text(QAccessible::Name), u"已连接"_s);
    QCOMPARE(text->text(0, text->characterCount()), u"已连接"_s);

    // A name given on purpose is kept.
    label->setAccessibleName(u"状态"_s);
    QCOMPARE(reader->text(QAccessible::Name), u"状态"_s);
}

void TestMorphingLabel::finalFrameShowsTheNewTextOnly()
{
    MorphingLabel *label = &m_fixture->label();
    const DelegateLog &log = m_fixture->log();
    label->setText(u"abc"_s);
    tickUntilComplete(*label, log);
    label->setText(u"xbz"_s);
    tickUntilComplete(*label, log);

    const qreal pointSize = label->fontSize();
    for (const CharacterLimbo &limbo : label->limboOfCharacters()) {
        if (limbo.alpha <= 0.0)
            continue;
        QVERIFY(u"xbz"_s.contains(limbo.character));
        QCOMPARE(limbo.size, pointSize);
        const int index = static_cast<int>(u"xbz"_s.indexOf(limbo.character));
        QCOMPARE(limbo.rect, label->newRects()[index]);
    }
}

QTEST_MAIN(TestMorphingLabel)
#include "tst_morphinglabel.moc"
