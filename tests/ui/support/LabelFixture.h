#pragma once

#include "ui/morphing/MorphingLabel.h"

#include <QList>
#include <QSize>
#include <QWidget>
#include <memory>

namespace corvane::test {

// A morphing label filling a shown window, and a record of what it tells its delegate; time
// runs on whichever manual clock or driver the suite holds.
class LabelFixture final
{
public:
    struct Log
    {
        int started = 0;
        int completed = 0;
        QList<float> progress;
    };

    explicit LabelFixture(QSize size);
    ~LabelFixture();
    Q_DISABLE_COPY_MOVE(LabelFixture)

    MorphingLabel &label() const { return *m_label; }
    const Log &log() const { return m_log; }
    QWidget &window() { return m_window; }

private:
    QWidget m_window;
    MorphingLabel *m_label;
    Log m_log;
    MorphingLabelDelegate m_delegate;
};

} // namespace corvane::test
