#pragma once

#include <QAbstractAnimation>
#include <QObject>
#include <QPointer>

class QWidget;
class QWindow;

namespace corvane {

// Holds an endless animation still while its widget is off screen (hidden, inside a hidden
// parent, in a minimised window or in one the window manager unmapped, say on another
// workspace) and lets it go on from there when the widget shows again, so nothing ticks for
// pixels nobody sees. It lives as a child of the animation.
class PauseWhileHidden final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PauseWhileHidden)

public:
    // Starts `animation`, held paused at once when `widget` is not on screen.
    static void
    start(QAbstractAnimation *animation, QWidget *widget,
          QAbstractAnimation::DeletionPolicy policy = QAbstractAnimation::KeepWhenStopped);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    PauseWhileHidden(QAbstractAnimation *animation, QWidget *widget);
    bool onScreen() const;
    void hold();
    void release();
    // Exposure is told to the widget's window, which exists only once the window was shown.
    void watchWindow();

    QAbstractAnimation *m_animation;
    QPointer<QWidget> m_widget;
    QPointer<QWindow> m_window;
    // Only a pause of its own is undone: whoever else paused the animation decides on resuming.
    bool m_holding = false;
    // The window said it is out of sight while the widget stayed shown.
    bool m_unexposed = false;
};

} // namespace corvane
