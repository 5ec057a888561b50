#pragma once

#include <QAbstractAnimation>
#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;
class QWindow;

namespace corvane {

// Holds an endless animation still while its widget is off screen (hidden, inside a hidden
// parent, in a minimised window or in one the window manager unmapped, say on another
// workspace) and lets it go on from there when the widget shows again, so nothing ticks for
// pixels nobody sees. It lives as a child of the animation (or of what it watches for).
class PauseWhileHidden final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PauseWhileHidden)

public:
    // Starts `animation`, held paused at once when `widget` is not on screen.
    static void
    start(QAbstractAnimation *animation, QWidget *widget,
          QAbstractAnimation::DeletionPolicy policy = QAbstractAnimation::KeepWhenStopped);
    // For what keeps time of its own: tells `listener` at once whether `widget` is on screen,
    // then every change, for as long as `owner` lives.
    static void watch(QWidget *widget, QObject *owner, std::function<void(bool)> listener);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    PauseWhileHidden(QWidget *widget, QObject *owner, std::function<void(bool)> listener);
    bool onScreen() const;
    void tell();
    // Exposure is told to the widget's window, which exists only once the window was shown.
    void watchWindow();

    QPointer<QWidget> m_widget;
    QPointer<QWindow> m_window;
    std::function<void(bool)> m_onScreen;
    bool m_told = false;
    // The window said it is out of sight while the widget stayed shown.
    bool m_unexposed = false;
};

} // namespace corvane
