#pragma once

#include <QRectF>
#include <QString>

namespace corvane {

// One character as it is drawn in the current frame of a morph.
struct CharacterLimbo
{
    QString character;
    QRectF rect;
    qreal alpha = 1.0;
    // Font point size.
    qreal size = 0.0;
    // Effect-specific progress; 0 unless an effect sets it.
    qreal drawingProgress = 0.0;
};

} // namespace corvane
