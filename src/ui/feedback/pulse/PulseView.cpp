#include "ui/feedback/pulse/PulseView.h"

#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/pulse/PulseHalo.h"

#include <QPropertyAnimation>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace corvane::PulseView {

void startPulse(QWidget *view, const QColor &color)
{
    startPulse(view, color, double(1.1f), double(1.3f), 1.0, double(0.5f), breathing);
}

void startPulse(QWidget *view, const QColor &color, int animation)
{
    if (animation == radar)
        startPulse(view, color, 1.0, double(1.4f), double(1.5f), double(0.7f), animation);
    else
        startPulse(view, color, double(1.2f), double(1.4f), 1.0, double(0.7f), animation);
}

void startPulse(QWidget *view, const QColor &color, double scaleFrom, double scaleTo,
                double frequency, double opacity, int animation)
{
    stopPulse(view);
    if (!view || !view->parentWidget())
        return;
    auto *halo = new PulseHalo(view, color, double(float(opacity)), std::max(scaleFrom, scaleTo));
    if (ViewDecoration *layer = ViewDecoration::find(view))
        layer->setMasksToBounds(false);
    halo->stackUnder(view);
    halo->show();

    const int periodMs = std::max(1, int(std::lround(frequency * 1000)));
    auto *scale = new QPropertyAnimation(halo, "scale", halo);
    scale->setObjectName(QStringLiteral("PulseScaleKey"));
    scale->setStartValue(scaleFrom);
    if (animation == breathing) {
        // Out and back within one loop, each way taking a full period.
        scale->setDuration(2 * periodMs);
        scale->setKeyValueAt(0.5, scaleTo);
        scale->setEndValue(scaleFrom);
    } else {
        scale->setDuration(periodMs);
        scale->setEndValue(scaleTo);
    }
    scale->setLoopCount(-1);
    halo->setGrowth((scaleTo - scaleFrom) * 1000 / periodMs);
    halo->run(scale);

    if (animation == radar) {
        auto *fade = new QPropertyAnimation(halo, "opacity", halo);
        fade->setObjectName(QStringLiteral("PulseRadarKey"));
        fade->setStartValue(double(float(opacity)));
        fade->setEndValue(0.0);
        fade->setDuration(periodMs);
        fade->setLoopCount(-1);
        halo->run(fade);
    }
}

void stopPulse(QWidget *view)
{
    delete externalBorderLayer(view);
}

PulseHalo *externalBorderLayer(const QWidget *view)
{
    if (!view || !view->parentWidget())
        return nullptr;
    // Only this view's halo: siblings may pulse too, each with its own.
    const auto halos = view->parentWidget()->findChildren<PulseHalo *>(
        QStringLiteral("PulseLayerName"), Qt::FindDirectChildrenOnly);
    for (PulseHalo *halo : halos) {
        if (halo->target() == view)
            return halo;
    }
    return nullptr;
}

} // namespace corvane::PulseView
