#include "LabelFixture.h"
#include "platform/scheduling/ManualClock.h"
#include "ui/common/Helpers.h"
#include "ui/morphing/DisplayLink.h"
#include "ui/morphing/EmitterView.h"
#include "ui/morphing/MorphingLabel.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <memory>

using namespace std::chrono_literals;

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(MorphingEffect)

namespace {

using Phases = QList<MorphingPhases>;

QImage blank(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

const Phases kAllPhases{MorphingPhases::start,     MorphingPhases::appear,
                        MorphingPhases::disappear, MorphingPhases::draw,
                        MorphingPhases::progress,  MorphingPhases::skipFrames};

bool registered(MorphingLabel &label, MorphingEffect effect, MorphingPhases phase)
{
    const QString key = MorphingEffects::key(effect, phase);
    switch (phase) {
    case MorphingPhases::start:
        return label.startClosures().contains(key);
    case MorphingPhases::appear:
    case MorphingPhases::disappear:
        return label.effectClosures().contains(key);
    case MorphingPhases::draw:
        return label.drawingClosures().contains(key);
    case MorphingPhases::progress:
        return label.progressClosures().contains(key);
    case MorphingPhases::skipFrames:
        return label.skipFramesClosures().contains(key);
    }
    return false;
}

} // namespace

class TestMorphingEffects final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void effectsArriveWithAParent();
    void evaporateRisesOutAndIn();
    void characterProgressStaysInOrder_data();
    void characterProgressStaysInOrder();
    void switchingEffectsBetweenTexts();
    void everyEffectPaintsAWholeMorph_data();
    void everyEffectPaintsAWholeMorph();
    void particleImagesAreResources_data();
    void particleImagesAreResources();
    void emitterPlaysStopsAndGoesIdle();
    void particlesShowOnALightBackground_data();
    void particlesShowOnALightBackground();
    void anvilDropsWithinTheLabel();

private:
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<LabelFixture> m_fixture;
    MorphingLabel *m_label = nullptr;
};

void TestMorphingEffects::initTestCase()
{
    m_clock = std::make_unique<ManualClock>(16);
}

void TestMorphingEffects::init()
{
    m_fixture = std::make_unique<LabelFixture>(QSize(320, 80));
    m_label = &m_fixture->label();
}

void TestMorphingEffects::cleanup()
{
    m_fixture.reset();
    m_clock->advance(1s);
}

void TestMorphingEffects::effectsArriveWithAParent()
{
    // Effects are loaded once the label joins a window; every one but the plain scale brings
    // its own way for characters to appear and disappear.
    MorphingLabel orphan(nullptr);
    QVERIFY(orphan.effectClosures().isEmpty());
    QWidget parent;
    orphan.setParent(&parent);
    for (int raw = 0; raw < MorphingEffects::allValues().size(); ++raw) {
        const auto effect = static_cast<MorphingEffect>(raw);
        for (MorphingPhases phase : {MorphingPhases::appear, MorphingPhases::disappear}) {
            QCOMPARE(registered(orphan, effect, phase), effect != MorphingEffect::scale);
        }
    }
    orphan.setParent(nullptr);
}

void TestMorphingEffects::evaporateRisesOutAndIn()
{
    m_label->setMorphingEffect(MorphingEffect::evaporate);
    m_label->setText(u"未连接"_s);
    m_label->setText(u"已连接"_s);
    m_clock->advance(100ms);
    auto &closures = m_label->effectClosures();
    const auto disappear =
        closures[MorphingEffects::key(MorphingEffect::evaporate, MorphingPhases::disappear)];
    const auto appear =
        closures[MorphingEffects::key(MorphingEffect::evaporate, MorphingPhases::appear)];
    const QRectF oldPlace = m_label->previousRects()[0];
    const QRectF newPlace = m_label->newRects()[0];

    // The old character leaves its place upwards, fading; the new one rises into its place from
    // below. Neither turns back on the way.
    CharacterLimbo lastOut = disappear(u"未"_s, 0, 0.0f);
    CharacterLimbo lastIn = appear(u"已"_s, 0, 0.0f);
    QCOMPARE(lastOut.rect, oldPlace);
    QVERIFY(lastIn.rect.top() > newPlace.top());
    for (int step = 1; step <= 10; ++step) {
        const float progress = static_cast<float>(step) / 10.0f;
        const CharacterLimbo out = disappear(u"未"_s, 0, progress);
        const CharacterLimbo in = appear(u"已"_s, 0, progress);
        QVERIFY(out.rect.top() < lastOut.rect.top() && out.alpha <= lastOut.alpha);
        QVERIFY(in.rect.top() < lastIn.rect.top() && in.rect.top() >= newPlace.top());
        QCOMPARE(out.rect.size(), oldPlace.size());
        lastOut = out;
        lastIn = in;
    }
    QCOMPARE(lastOut.alpha, 0.0);
    QCOMPARE(lastIn.rect, newPlace);

    // Only the replaced first character moves: the other two keep their place.
    const QList<CharacterLimbo> limbos = m_label->limboOfCharacters();
    QCOMPARE(limbos[1].rect, m_label->previousRects()[1]);
    QCOMPARE(limbos[1].alpha, 1.0);
}

void TestMorphingEffects::characterProgressStaysInOrder_data()
{
    QTest::addColumn<MorphingEffect>("effect");
    for (int raw = 0; raw < MorphingEffects::allValues().size(); ++raw) {
        const auto effect = static_cast<MorphingEffect>(raw);
        QTest::newRow(qPrintable(MorphingEffects::allValues()[raw])) << effect;
    }
}

void TestMorphingEffects::characterProgressStaysInOrder()
{
    // However an effect staggers its characters, each one's progress stays within 0..1 and
    // never goes back while the whole morph goes on.
    QFETCH(MorphingEffect, effect);
    const auto progress =
        m_label->progressClosures().value(MorphingEffects::key(effect, MorphingPhases::progress));
    if (!progress)
        return;
    for (int index = 0; index < 6; ++index) {
        for (bool isNew : {false, true}) {
            float last = -1.0f;
            for (int step = 0; step <= 20; ++step) {
                const float now = progress(index, static_cast<float>(step) / 20.0f, isNew);
                QVERIFY(now >= 0.0f && now <= 1.0f && now >= last);
                last = now;
            }
        }
    }
}

void TestMorphingEffects::switchingEffectsBetweenTexts()
{
    m_label->setMorphingEffect(MorphingEffect::evaporate);
    m_label->setText(u"ab"_s);
    m_label->setText(u"cd"_s);
    // Evaporate leaves drawingProgress at 0 and lifts the old character.
    m_clock->advance(200ms);
    CharacterLimbo first = m_label->limboOfCharacters().first();
    QCOMPARE(first.drawingProgress, 0.0);
    QVERIFY(first.rect.y() < m_label->previousRects()[0].y());

    m_label->setMorphingEffect(MorphingEffect::fall);
    m_label->setText(u"ef"_s);
    m_clock->advance(200ms);
    first = m_label->limboOfCharacters().first();
    // Fall keeps the old character in place and hands its progress to the draw closure.
    QVERIFY(first.drawingProgress > 0.0);
    QCOMPARE(first.rect, m_label->previousRects()[0]);
}

void TestMorphingEffects::everyEffectPaintsAWholeMorph_data()
{
    QTest::addColumn<MorphingEffect>("effect");
    QTest::addColumn<bool>("pixelSized");
    // The project's own fonts are sized in pixels; Designer's in points. Both must morph.
    for (int raw = 0; raw < MorphingEffects::allValues().size(); ++raw) {
        const QString name = MorphingEffects::allValues()[raw];
        const auto effect = static_cast<MorphingEffect>(raw);
        QTest::newRow(qPrintable(name + u", points"_s)) << effect << false;
        QTest::newRow(qPrintable(name + u", pixels"_s)) << effect << true;
    }
}

void TestMorphingEffects::everyEffectPaintsAWholeMorph()
{
    QFETCH(MorphingEffect, effect);
    QFETCH(bool, pixelSized);
    m_label->setMorphingEffect(effect);
    QFont font = m_label->font();
    if (pixelSized)
        font.setPixelSize(32);
    else
        font.setPointSizeF(24);
    m_label->setFont(font);
    m_label->setText(u"未连接"_s);
    m_clock->advance(2s);
    m_label->setText(u"连接中..."_s);
    int blankFrames = 0;
    for (int frame = 0; frame < 80; ++frame) {
        QImage image(m_label->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        m_label->drawTextInRect(painter, QRectF(m_label->rect()));
        painter.end();
        if (image == blank(image.size()))
            ++blankFrames;
        m_clock->advance(16ms);
    }
    // Characters come and go, but some are on screen in every frame.
    QCOMPARE(blankFrames, 0);
    QVERIFY(m_label->displayLink()->isPaused());

    // The last frame shows the whole new text in full, and nothing else: painted with a margin
    // around the label, so a remnant shows whichever fonts place it inside the label or not.
    const QSize margin = m_label->size();
    QImage last(m_label->size() + 2 * margin, QImage::Format_ARGB32_Premultiplied);
    last.fill(Qt::transparent);
    QPainter painter(&last);
    painter.translate(margin.width(), margin.height());
    m_label->drawTextInRect(painter, QRectF(m_label->rect()));
    painter.end();
    QImage plain(last.size(), QImage::Format_ARGB32_Premultiplied);
    plain.fill(Qt::transparent);
    QPainter plainPainter(&plain);
    plainPainter.translate(margin.width(), margin.height());
    plainPainter.setFont(m_label->font());
    plainPainter.setPen(m_label->textColor());
    for (int i = 0; i < m_label->newRects().size(); ++i) {
        const QRectF rect = m_label->newRects()[i];
        plainPainter.drawText(rect.topLeft() + QPointF(0, QFontMetricsF(m_label->font()).ascent()),
                              characters(m_label->text())[i]);
    }
    plainPainter.end();
    QCOMPARE(last, plain);

    // Effects with particles leave no emitter running once the morph and its particles are over.
    m_clock->advance(2s);
    if (EmitterView *view = m_label->findChild<EmitterView *>())
        QVERIFY(!view->isTicking());
}

void TestMorphingEffects::particleImagesAreResources_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"Sparkle", "Fire", "Smoke", "Fragment"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestMorphingEffects::particleImagesAreResources()
{
    QFETCH(QString, name);
    const Emitter emitter(name, 1.0f);
    QVERIFY(!emitter.cell.contents.isNull());
    QVERIFY(emitter.cell.contents.hasAlphaChannel());
}

void TestMorphingEffects::emitterPlaysStopsAndGoesIdle()
{
    EmitterView *view = m_label->emitterView();
    QCOMPARE(m_label->emitterView(), view);
    QCOMPARE(view->geometry(), m_label->rect());

    Emitter &made =
        view->createEmitter(u"one"_s, u"Sparkle"_s, 0.5f, [](EmitterLayer &layer, EmitterCell &) {
            layer.emitterPosition = QPointF(50, 20);
        });
    QCOMPARE(made.cell.birthRate, 150.0f);
    QCOMPARE(made.layer.emitterPosition, QPointF(50, 20));
    QVERIFY(made.layer.cells.isEmpty());
    // The same name returns the same emitter, reconfigured.
    view->createEmitter(u"one"_s, u"Fire"_s, 0.5f, [](EmitterLayer &layer, EmitterCell &) {
        layer.emitterSize = {30, 1};
    });
    QCOMPARE(view->emitters().size(), 1);
    const auto one = [view]() -> const Emitter & { return *view->emitters().constFind(u"one"_s); };
    QCOMPARE(one().layer.emitterPosition, QPointF(50, 20));

    QVERIFY(!view->isTicking());
    view->play(u"one"_s);
    QVERIFY(view->isTicking());
    m_clock->advance(200ms);
    QVERIFY(one().particleCount() > 0);

    // Birth stops after the duration, the particles die out, and the view stops ticking.
    m_clock->advance(400ms);
    QCOMPARE(one().layer.birthRate, 0.0f);
    m_clock->advance(1s);
    QCOMPARE(one().particleCount(), 0);
    QVERIFY(!view->isTicking());

    view->removeAllEmitters();
    QVERIFY(view->emitters().isEmpty());
}

void TestMorphingEffects::particlesShowOnALightBackground_data()
{
    QTest::addColumn<MorphingEffect>("effect");
    QTest::newRow("Sparkle") << MorphingEffect::sparkle;
    QTest::newRow("Burn") << MorphingEffect::burn;
}

void TestMorphingEffects::particlesShowOnALightBackground()
{
    QFETCH(MorphingEffect, effect);
    m_label->setMorphingEffect(effect);
    m_label->setFont(systemFont(28));
    m_label->setText(u"未连接"_s);
    m_clock->advance(2s);
    m_label->setText(u"已连接"_s);
    m_clock->advance(200ms);
    EmitterView *view = m_label->findChild<EmitterView *>();
    QVERIFY(view);

    // The particles alone, over white: the gold and orange ones must stand out from it.
    QImage image(view->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    int coloured = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            const int spread = std::max({pixel.red(), pixel.green(), pixel.blue()}) -
                               std::min({pixel.red(), pixel.green(), pixel.blue()});
            coloured += spread > 80 ? 1 : 0;
        }
    }
    QVERIFY2(coloured >= 20, qPrintable(u"%1 coloured pixels"_s.arg(coloured)));
}

void TestMorphingEffects::anvilDropsWithinTheLabel()
{
    m_label->setMorphingEffect(MorphingEffect::anvil);
    m_label->setFont(systemFont(28));
    m_label->setText(u"未连接"_s);
    m_clock->advance(2s);
    m_label->setText(u"已连接"_s);
    const auto appear = m_label->effectClosures().value(
        MorphingEffects::key(MorphingEffect::anvil, MorphingPhases::appear));
    QVERIFY(appear);
    const QRectF place = m_label->newRects().first();
    QVERIFY(place.top() > 0);
    // A label draws nothing outside itself, so a glyph dropping from above would show cut off.
    for (int step = 0; step <= 20; ++step) {
        const CharacterLimbo limbo = appear(u"已"_s, 0, static_cast<float>(step) / 20.0f);
        QVERIFY2(limbo.rect.top() >= 0.0, qPrintable(QString::number(limbo.rect.top())));
    }
    QCOMPARE(appear(u"已"_s, 0, 0.0f).rect.top(), 0.0);
    QCOMPARE(appear(u"已"_s, 0, 1.0f).rect, place);
}

QTEST_MAIN(TestMorphingEffects)
#include "tst_morphingeffects.moc"
