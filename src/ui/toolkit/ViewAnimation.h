#pragma once

#include <QVariant>
#include <functional>

class QWidget;

namespace corvane {

// Animates view changes over a duration: alpha and layout constraint constants set inside
// `changes` move there over `seconds` on Qt's animation clock instead of jumping. The
// completion runs once, after the duration, with true.
class ViewAnimation final
{
public:
    static void animate(double seconds, const std::function<void()> &changes,
                        std::function<void(bool finished)> completion = {});

    // For animatable properties: inside animate() adds a transition from `from` to `to` that
    // calls `apply` with each value and returns true; outside returns false (apply at once).
    static bool addTransition(QObject *target, const QVariant &from, const QVariant &to,
                              std::function<void(const QVariant &)> apply);
};

// Opacity of a widget and its children, 1 by default.
void setAlpha(QWidget *view, double alpha);
double alpha(const QWidget *view);

} // namespace corvane
