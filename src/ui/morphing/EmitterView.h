#pragma once

#include "ui/morphing/Emitter.h"

#include <QHash>
#include <QRandomGenerator>
#include <QWidget>
#include <functional>
#include <memory>

namespace corvane {

class DisplayLink;

// A transparent overlay that runs and paints particle emitters, kept by name. It ticks only
// while some emitter releases or still shows particles.
class EmitterView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EmitterView)

public:
    using Configuration = std::function<void(EmitterLayer &layer, EmitterCell &cell)>;

    explicit EmitterView(QWidget *parent = nullptr);
    ~EmitterView() override;

    // The emitter called `name`, made with the particle image `particleName` if new, after
    // `configure` has run on it.
    Emitter &createEmitter(const QString &name, const QString &particleName, float duration,
                           const Configuration &configure);
    // Starts releasing particles; the emitter stops again after its duration.
    void play(const QString &name);
    void removeAllEmitters();

    const QHash<QString, Emitter> &emitters() const { return m_emitters; }
    bool isTicking() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void tick();

    QHash<QString, Emitter> m_emitters;
    QRandomGenerator m_random;
    std::unique_ptr<DisplayLink> m_displayLink;
    int m_lastTime = 0;
};

} // namespace corvane
