#include "ui/morphing/effects/BurnEffect.h"

#include "ui/morphing/EmitterView.h"
#include "ui/morphing/MorphingLabel.h"
#include "ui/morphing/effects/Easing.h"
#include "ui/morphing/effects/SharedPhases.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>
#include <numbers>

namespace corvane {

namespace {

// Height of the glowing band at the burning edge, in points.
constexpr qreal kEmberHeight = 3.0;

void playFlames(EmitterView *view, int index, const QRectF &rect, float progress, float duration)
{
    const QPointF edge(rect.center().x(), rect.bottom() - rect.height() * progress);
    const QString fire = QStringLiteral("char%1fire").arg(index);
    view->createEmitter(fire, QStringLiteral("Fire"), duration,
                        [&](EmitterLayer &layer, EmitterCell &cell) {
                            layer.emitterPosition = edge;
                            layer.emitterSize = QSizeF(rect.width(), 1);
                            // Painted over the background, not added to it: added light
                            // leaves a light background white and the flames unseen.
                            layer.renderMode = EmitterLayer::RenderMode::Outline;
                            cell.birthRate = 160;
                            cell.velocity = 30;
                            cell.velocityRange = 15;
                            cell.emissionLongitude = -std::numbers::pi_v<float> / 2;
                            cell.emissionRange = std::numbers::pi_v<float> / 3;
                            cell.lifetime = 0.3f;
                            cell.scale = 0.25f;
                            cell.scaleSpeed = -0.6f;
                            cell.yAcceleration = -40;
                        });
    const QString smoke = QStringLiteral("char%1smoke").arg(index);
    view->createEmitter(smoke, QStringLiteral("Smoke"), duration,
                        [&](EmitterLayer &layer, EmitterCell &cell) {
                            layer.emitterPosition = edge - QPointF(0, kEmberHeight);
                            layer.emitterSize = QSizeF(rect.width(), 1);
                            cell.birthRate = 40;
                            cell.velocity = 20;
                            cell.velocityRange = 10;
                            cell.emissionLongitude = -std::numbers::pi_v<float> / 2;
                            cell.emissionRange = std::numbers::pi_v<float> / 4;
                            cell.lifetime = 0.6f;
                            cell.scale = 0.3f;
                            cell.scaleSpeed = 0.2f;
                            cell.yAcceleration = -20;
                        });
    view->play(fire);
    view->play(smoke);
}

} // namespace

void BurnEffect::load(MorphingLabel &label)
{
    using MorphingEffects::key;
    MorphingLabel *l = &label;
    const MorphingEffect effect = MorphingEffect::burn;

    label.startClosures()[key(effect, MorphingPhases::start)] = sharedphases::clearEmitters(l);

    label.progressClosures()[key(effect, MorphingPhases::progress)] =
        sharedphases::sineWaveProgress(l, 1.5f);

    label.effectClosures()[key(effect, MorphingPhases::disappear)] =
        sharedphases::fadeInPlace(l, false);

    label.effectClosures()[key(effect, MorphingPhases::appear)] = [l](const QString &character,
                                                                      int index, float progress) {
        const QRectF rect = l->newRects().value(index);
        if (progress < 1.0f)
            playFlames(l->emitterView(), index, rect, progress, l->morphingDuration());
        return CharacterLimbo{character, rect, 1.0, l->fontSize(), progress};
    };

    label.drawingClosures()[key(effect, MorphingPhases::draw)] = [l](QPainter &painter,
                                                                     const CharacterLimbo &limbo) {
        if (limbo.drawingProgress <= 0.0)
            return false;
        const QRectF rect = limbo.rect;
        const qreal burnt = rect.height() * limbo.drawingProgress;
        const QPointF baseline(rect.left(), rect.top() + QFontMetricsF(l->font()).ascent());
        QColor color = l->textColor();
        color.setAlphaF(static_cast<float>(color.alphaF() * std::clamp(limbo.alpha, 0.0, 1.0)));
        painter.save();
        painter.setFont(l->font());
        painter.setClipRect(QRectF(rect.left(), rect.bottom() - burnt, rect.width(), burnt));
        painter.setPen(color);
        painter.drawText(baseline, limbo.character);
        if (limbo.drawingProgress < 1.0) {
            painter.setClipRect(
                QRectF(rect.left(), rect.bottom() - burnt, rect.width(), kEmberHeight));
            painter.setPen(QColor(255, 140, 30));
            painter.drawText(baseline, limbo.character);
        }
        painter.restore();
        return true;
    };

    label.skipFramesClosures()[key(effect, MorphingPhases::skipFrames)] = [] { return 1; };
}

} // namespace corvane
