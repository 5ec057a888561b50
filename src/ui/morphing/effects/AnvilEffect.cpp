#include "ui/morphing/effects/AnvilEffect.h"

#include "ui/morphing/EmitterView.h"
#include "ui/morphing/MorphingLabel.h"
#include "ui/morphing/effects/Easing.h"
#include "ui/morphing/effects/SharedPhases.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvane {

namespace {

// The drop first hits the ground at 1 / 2.75 of its progress; the dust settles by this share.
constexpr float kImpact = 1.0f / 2.75f;
constexpr float kDustSettled = 0.7f;

const QString kLeftSmoke = QStringLiteral("leftSmoke");
const QString kRightSmoke = QStringLiteral("rightSmoke");
const QString kLeftFragments = QStringLiteral("leftFragments");
const QString kRightFragments = QStringLiteral("rightFragments");

void prepareEmitters(MorphingLabel *label)
{
    EmitterView *view = label->emitterView();
    view->removeAllEmitters();
    const QList<QRectF> &rects = label->newRects();
    if (rects.isEmpty())
        return;
    const QPointF left(rects.first().left(), rects.first().bottom());
    const QPointF right(rects.last().right(), rects.last().bottom());
    const float duration = label->morphingDuration();
    const float pi = std::numbers::pi_v<float>;

    const auto smoke = [](QPointF at, float outwards) {
        return [at, outwards](EmitterLayer &layer, EmitterCell &cell) {
            layer.emitterPosition = at;
            layer.emitterSize = QSizeF(4, 1);
            cell.birthRate = 60;
            cell.velocity = 40;
            cell.velocityRange = 20;
            cell.emissionLongitude = outwards;
            cell.emissionRange = std::numbers::pi_v<float> / 4;
            cell.lifetime = 0.5f;
            cell.scale = 0.25f;
            cell.scaleSpeed = 0.3f;
            cell.yAcceleration = -30;
        };
    };
    const auto fragments = [](QPointF at, float outwards) {
        return [at, outwards](EmitterLayer &layer, EmitterCell &cell) {
            layer.emitterPosition = at;
            layer.emitterSize = QSizeF(4, 1);
            cell.birthRate = 80;
            cell.velocity = 80;
            cell.velocityRange = 30;
            cell.emissionLongitude = outwards;
            cell.emissionRange = std::numbers::pi_v<float> / 3;
            cell.lifetime = 0.5f;
            cell.scale = 0.15f;
            cell.scaleSpeed = -0.1f;
            cell.yAcceleration = 250;
        };
    };
    view->createEmitter(kLeftSmoke, QStringLiteral("Smoke"), duration, smoke(left, pi));
    view->createEmitter(kRightSmoke, QStringLiteral("Smoke"), duration, smoke(right, 0));
    view->createEmitter(kLeftFragments, QStringLiteral("Fragment"), duration,
                        fragments(left, pi * 1.2f));
    view->createEmitter(kRightFragments, QStringLiteral("Fragment"), duration,
                        fragments(right, -pi * 0.2f));
}

void stirDust(EmitterView *view, float progress)
{
    for (const QString &name : {kLeftSmoke, kRightSmoke, kLeftFragments, kRightFragments}) {
        if (!view->emitters().contains(name))
            continue;
        if (progress < kDustSettled) {
            view->play(name);
        } else {
            view->createEmitter(name, {}, 0, [](EmitterLayer &layer, EmitterCell &cell) {
                cell.birthRate = 0;
                for (EmitterCell &playing : layer.cells)
                    playing.birthRate = 0;
            });
        }
    }
}

} // namespace

void AnvilEffect::load(MorphingLabel &label)
{
    using MorphingEffects::key;
    MorphingLabel *l = &label;
    const MorphingEffect effect = MorphingEffect::anvil;

    label.startClosures()[key(effect, MorphingPhases::start)] = [l] { prepareEmitters(l); };

    label.progressClosures()[key(effect, MorphingPhases::progress)] =
        sharedphases::sineWaveProgress(l, 1.7f);

    label.effectClosures()[key(effect, MorphingPhases::disappear)] =
        sharedphases::fadeInPlace(l, false);

    label.effectClosures()[key(effect, MorphingPhases::appear)] = [l](const QString &character,
                                                                      int index, float progress) {
        QRectF rect = l->newRects().value(index);
        // Falls from the label's top edge onto its place: a label draws nothing outside its
        // bounds, so a drop from higher up would show a glyph cut off at that edge.
        const qreal drop = std::max(0.0, rect.top());
        rect.moveTop(rect.top() - drop + drop * easing::bounce(progress));
        if (progress >= kImpact)
            stirDust(l->emitterView(), progress);
        return CharacterLimbo{character, rect, 1.0, l->fontSize(), 0.0};
    };
}

} // namespace corvane
