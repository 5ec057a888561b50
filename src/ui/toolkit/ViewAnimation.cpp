#include "ui/toolkit/ViewAnimation.h"

#include <QCoreApplication>
#include <QGraphicsOpacityEffect>
#include <QParallelAnimationGroup>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace corvane {

namespace {
struct Collecting
{
    QParallelAnimationGroup *group = nullptr;
    int durationMs = 0;
};
Collecting collecting;

void applyAlpha(QWidget *view, double alpha)
{
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(view->graphicsEffect());
    if (alpha >= 1.0) {
        // Fully opaque needs no effect, and an effect would cost an offscreen pass per paint.
        if (effect)
            view->setGraphicsEffect(nullptr);
        return;
    }
    if (!effect) {
        effect = new QGraphicsOpacityEffect(view);
        view->setGraphicsEffect(effect);
    }
    effect->setOpacity(alpha);
}
} // namespace

void ViewAnimation::animate(double seconds, const std::function<void()> &changes,
                            std::function<void(bool finished)> completion)
{
    auto *group = new QParallelAnimationGroup(QCoreApplication::instance());
    const int durationMs = static_cast<int>(std::lround(std::max(seconds, 0.0) * 1000));
    const Collecting outer = collecting;
    collecting = Collecting{group, durationMs};
    if (changes)
        changes();
    collecting = outer;
    // A ticking placeholder keeps the group running for the whole duration, even with nothing
    // to move (a pause animation would run on its own timer, apart from the animation clock).
    auto *span = new QVariantAnimation(group);
    span->setDuration(durationMs);
    span->setStartValue(0.0);
    span->setEndValue(1.0);
    group->addAnimation(span);
    QObject::connect(group, &QAbstractAnimation::finished, group,
                     [completion = std::move(completion)] {
                         if (completion)
                             completion(true);
                     });
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

bool ViewAnimation::addTransition(QObject *target, const QVariant &from, const QVariant &to,
                                  std::function<void(const QVariant &)> apply)
{
    if (!collecting.group)
        return false;
    auto *animation = new QVariantAnimation(collecting.group);
    animation->setDuration(collecting.durationMs);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setStartValue(from);
    animation->setEndValue(to);
    const QPointer<QObject> guard(target);
    QObject::connect(animation, &QVariantAnimation::valueChanged, animation,
                     [guard, apply = std::move(apply)](const QVariant &value) {
                         if (guard)
                             apply(value);
                     });
    collecting.group->addAnimation(animation);
    return true;
}

void setAlpha(QWidget *view, double value)
{
    const double clamped = std::clamp(value, 0.0, 1.0);
    const bool animated = ViewAnimation::addTransition(
        view, alpha(view), clamped, [view](const QVariant &v) { applyAlpha(view, v.toDouble()); });
    if (!animated)
        applyAlpha(view, clamped);
}

double alpha(const QWidget *view)
{
    const auto *effect = qobject_cast<const QGraphicsOpacityEffect *>(view->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

} // namespace corvane
