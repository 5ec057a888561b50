#pragma once

#include <QColor>

class QWidget;

namespace corvane {

class PulseHalo;

// A radar-like halo behind a view: a copy of its frame in `color` that grows (and with the radar
// type fades) over and over, until stopPulse or the next start.
namespace PulseView {

enum Animation
{
    breathing = 0,
    radar = 1
};

// Breathing pulse: scale 1.1 to 1.3 and back, one second each way, opacity 0.5.
void startPulse(QWidget *view, const QColor &color);
// Radar: scale 1.0 to 1.4 over 1.5 s at opacity 0.7; any other type breathes 1.2 to 1.4 every
// second at opacity 0.7.
void startPulse(QWidget *view, const QColor &color, int animation);
void startPulse(QWidget *view, const QColor &color, double scaleFrom, double scaleTo,
                double frequency, double opacity, int animation);
void stopPulse(QWidget *view);
// The halo of `view` in its parent, if it has one.
PulseHalo *externalBorderLayer(const QWidget *view);

} // namespace PulseView

} // namespace corvane
