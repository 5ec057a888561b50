#include "ui/morphing/effects/SparkleEffect.h"

#include "ui/morphing/EmitterView.h"
#include "ui/morphing/MorphingLabel.h"
#include "ui/morphing/effects/Easing.h"
#include "ui/morphing/effects/SharedPhases.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace corvane {

void SparkleEffect::load(MorphingLabel &label)
{
    using MorphingEffects::key;
    MorphingLabel *l = &label;
    const MorphingEffect effect = MorphingEffect::sparkle;

    label.startClosures()[key(effect, MorphingPhases::start)] = sharedphases::clearEmitters(l);

    label.progressClosures()[key(effect, MorphingPhases::progress)] =
        sharedphases::sineWaveProgress(l, 1.5f);

    label.effectClosures()[key(effect, MorphingPhases::disappear)] =
        sharedphases::fadeInPlace(l, false);

    label.effectClosures()[key(effect, MorphingPhases::appear)] = [l](const QString &character,
                                                                      int index, float progress) {
        const QRectF rect = l->newRects().value(index);
        if (progress < 1.0f) {
            // The sparkles ride the edge of the revealed part of the character.
            const QString name = QStringLiteral("char%1").arg(index);
            EmitterView *view = l->emitterView();
            view->createEmitter(name, QStringLiteral("Sparkle"), l->morphingDuration(),
                                [rect, progress](EmitterLayer &layer, EmitterCell &cell) {
                                    layer.emitterPosition = QPointF(
                                        rect.center().x(), rect.top() + rect.height() * progress);
                                    layer.emitterSize = QSizeF(rect.width(), 1);
                                    cell.birthRate = 120;
                                    cell.velocity = 40;
                                    cell.velocityRange = 20;
                                    cell.lifetime = 0.4f;
                                    cell.scale = 0.25f;
                                    cell.scaleRange = 0.1f;
                                    cell.scaleSpeed = -0.5f;
                                    cell.yAcceleration = 60;
                                });
            view->play(name);
        }
        return CharacterLimbo{character, rect, 1.0, l->fontSize(), progress};
    };

    label.drawingClosures()[key(effect, MorphingPhases::draw)] = [l](QPainter &painter,
                                                                     const CharacterLimbo &limbo) {
        if (limbo.drawingProgress <= 0.0)
            return false;
        const QRectF rect = limbo.rect;
        QColor color = l->textColor();
        color.setAlphaF(static_cast<float>(color.alphaF() * std::clamp(limbo.alpha, 0.0, 1.0)));
        painter.save();
        painter.setClipRect(
            QRectF(rect.left(), rect.top(), rect.width(), rect.height() * limbo.drawingProgress),
            Qt::IntersectClip);
        painter.setFont(l->font());
        painter.setPen(color);
        painter.drawText(QPointF(rect.left(), rect.top() + QFontMetricsF(l->font()).ascent()),
                         limbo.character);
        painter.restore();
        return true;
    };

    label.skipFramesClosures()[key(effect, MorphingPhases::skipFrames)] = [] { return 1; };
}

} // namespace corvane
