#pragma once

#include <QWidget>

namespace corvane {

class NavigationController;

// The strip along the left edge of a navigation stack's content where a drag to the right
// pops the top screen. It is shown only while the back gesture may pop; taps on it go through to
// the screen.
class EdgeDragArea final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EdgeDragArea)

public:
    static constexpr int kWidth = 20;
    // Past this share of the width the released drag completes the pop.
    static constexpr double kCompleteThreshold = 1.0 / 3.0;
    // A press and release closer than this is a tap, passed on to the screen beneath.
    static constexpr double kTapSlop = 4.0;

    explicit EdgeDragArea(NavigationController *navigation);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    double progressAt(const QMouseEvent *event) const;
    void forwardTap(const QMouseEvent *event);

    NavigationController *m_navigation;
    bool m_dragging = false;
    double m_startX = 0.0;
};

} // namespace corvane
