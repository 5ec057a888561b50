#include "ui/morphing/effects/PixelateEffect.h"

#include "ui/morphing/MorphingLabel.h"
#include "ui/morphing/effects/SharedPhases.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <cmath>

namespace corvane {

void PixelateEffect::load(MorphingLabel &label)
{
    using MorphingEffects::key;
    MorphingLabel *l = &label;
    const MorphingEffect effect = MorphingEffect::pixelate;

    label.effectClosures()[key(effect, MorphingPhases::disappear)] =
        sharedphases::fadeInPlace(l, true);

    label.effectClosures()[key(effect, MorphingPhases::appear)] = [l](const QString &character,
                                                                      int index, float progress) {
        return CharacterLimbo{character, l->newRects().value(index), progress, l->fontSize(),
                              1.0 - progress};
    };

    label.drawingClosures()[key(effect, MorphingPhases::draw)] = [l](QPainter &painter,
                                                                     const CharacterLimbo &limbo) {
        if (limbo.drawingProgress <= 0.0 || limbo.alpha <= 0.0)
            return limbo.drawingProgress > 0.0;
        // Pixels per point; finer than the device means no visible blocks, so draw normally.
        const qreal deviceRatio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const qreal resolution = 1.0 / (limbo.drawingProgress * 6.0);
        if (resolution >= deviceRatio)
            return false;
        const QSize pixels(
            std::max(1, static_cast<int>(std::ceil(limbo.rect.width() * resolution))),
            std::max(1, static_cast<int>(std::ceil(limbo.rect.height() * resolution))));
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter pixelPainter(&image);
            pixelPainter.setRenderHint(QPainter::Antialiasing);
            // The label font scaled to the limbo's size, whether it was set in points or pixels.
            const qreal scale = l->fontSize() > 0 ? limbo.size / l->fontSize() : 1.0;
            pixelPainter.scale(resolution * scale, resolution * scale);
            const QFont font = l->font();
            QColor color = l->textColor();
            color.setAlphaF(static_cast<float>(color.alphaF() * std::clamp(limbo.alpha, 0.0, 1.0)));
            pixelPainter.setFont(font);
            pixelPainter.setPen(color);
            pixelPainter.drawText(QPointF(0, QFontMetricsF(font).ascent()), limbo.character);
        }
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(limbo.rect, image);
        painter.restore();
        return true;
    };
}

} // namespace corvane
