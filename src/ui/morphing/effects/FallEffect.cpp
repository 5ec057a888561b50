#include "ui/morphing/effects/FallEffect.h"

#include "ui/morphing/MorphingLabel.h"
#include "ui/morphing/effects/Easing.h"
#include "ui/morphing/effects/SharedPhases.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace corvane {

void FallEffect::load(MorphingLabel &label)
{
    using MorphingEffects::key;
    MorphingLabel *l = &label;
    const MorphingEffect effect = MorphingEffect::fall;

    label.progressClosures()[key(effect, MorphingPhases::progress)] = [l](int index, float progress,
                                                                          bool isNewChar) {
        const float delay = l->morphingCharacterDelay();
        if (isNewChar)
            return easing::clamp(progress - delay * static_cast<float>(index) / 1.7f, 0.0f, 1.0f);
        const auto wave = static_cast<float>(std::sin(index));
        return easing::clamp(progress + wave * 1.7f * delay, 0.0001f, 1.0f);
    };

    label.effectClosures()[key(effect, MorphingPhases::disappear)] =
        sharedphases::fadeInPlace(l, true);

    label.effectClosures()[key(effect, MorphingPhases::appear)] = [l](const QString &character,
                                                                      int index, float progress) {
        const qreal pointSize = l->fontSize();
        const qreal size = pointSize * easing::quint(progress);
        return CharacterLimbo{character, l->newRects().value(index).translated(0, pointSize - size),
                              l->morphingProgress(), size, 0.0};
    };

    label.drawingClosures()[key(effect, MorphingPhases::draw)] = [l](QPainter &painter,
                                                                     const CharacterLimbo &limbo) {
        const qreal q = limbo.drawingProgress;
        if (q <= 0.0)
            return false;
        // Fallen all the way, the character is gone: at 1 % it would stay behind as a ghost
        // for as long as the label rests.
        if (q >= 1.0)
            return true;
        const QRectF rect = limbo.rect;
        const qreal pointSize = l->fontSize();
        QPointF pivot(rect.x() + rect.width() / 2, rect.bottom() - pointSize / 6);
        QColor color = l->textColor();
        if (q > 0.5) {
            color.setAlphaF(static_cast<float>(std::clamp(2.0 - 2.0 * q + 0.01, 0.0, 1.0)));
            pivot.ry() += 10.0 * std::pow(2.0 * (q - 0.4), 5);
        }
        const float tip = easing::back(static_cast<float>(std::min(q, 1.0)));
        painter.save();
        painter.translate(pivot);
        painter.rotate(tip * (std::sin(rect.x()) > 0.5 ? 168.0 : -168.0));
        // The label font scaled to the limbo's size, whether it was set in points or pixels.
        if (limbo.size > 0 && pointSize > 0)
            painter.scale(limbo.size / pointSize, limbo.size / pointSize);
        painter.setFont(l->font());
        painter.setPen(color);
        painter.drawText(
            QRectF(-rect.width() / 2, pointSize / 6 - rect.height(), rect.width(), rect.height()),
            Qt::AlignLeft | Qt::AlignTop, limbo.character);
        painter.restore();
        return true;
    };
}

} // namespace corvane
