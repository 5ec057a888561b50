#pragma once

#include <QObject>
#include <functional>

namespace corvane {

class MorphingLabel;

// Listener of a label's morphs. Every callback is optional: an empty one is not called. The
// label holds its delegate weakly.
class MorphingLabelDelegate final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MorphingLabelDelegate)

public:
    explicit MorphingLabelDelegate(QObject *parent = nullptr) : QObject(parent) {}

    std::function<void(MorphingLabel *label)> morphingDidStart;
    std::function<void(MorphingLabel *label)> morphingDidComplete;
    std::function<void(MorphingLabel *label, float progress)> morphingOnProgress;
};

} // namespace corvane
