#pragma once

#include "ui/toolkit/ViewController.h"

#include <QList>
#include <QPointer>
#include <chrono>
#include <optional>

class QVariantAnimation;

namespace corvane {

class EdgeDragArea;
class NavigationBar;

// A stack of screens under a navigation bar. Pushing slides the new screen in from the right,
// popping slides the top screen out. The back gesture pops the top screen: the Back mouse
// button, Alt+Left, or a drag that starts at the left edge; all three honour its enabled flag.
class NavigationController : public ViewController
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NavigationController)

public:
    static constexpr std::chrono::milliseconds kTransition{350};

    explicit NavigationController(ViewController *root, QWidget *parent = nullptr);
    ~NavigationController() override;

    QList<ViewController *> viewControllers() const;
    ViewController *topViewController() const;

    virtual void pushViewController(ViewController *screen, bool animated);
    // Removes the top screen (never the root) and returns it; it is deleted once it has left.
    virtual ViewController *popViewController(bool animated);
    bool isTransitioning() const;

    NavigationBar *navigationBar() const { return m_bar; }
    bool isNavigationBarHidden() const { return m_barHidden; }
    void setNavigationBarHidden(bool hidden, bool animated);

    bool isBackGestureEnabled() const { return m_backGestureEnabled; }
    void setBackGestureEnabled(bool enabled);

Q_SIGNALS:
    // The list of screens changed (a push, or a pop as it starts).
    void stackChanged();

protected:
    // Asked before the back gesture pops; by default the gesture stays out of the way of a
    // custom left bar item, which takes over going back.
    virtual bool backGestureShouldBegin() const;

    QList<ViewController *> childrenForAppearance() const override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    friend class EdgeDragArea;
    struct Transition
    {
        QPointer<ViewController> from;
        QPointer<ViewController> to;
        bool pop = false;
    };

    bool backGestureAllowed() const;
    void updateEdge();
    void handleBackGesture();
    bool beginDrag();
    void updateDrag(double progress);
    void endDrag(bool complete);

    void startTransition(Transition transition, bool animated, double fromProgress);
    void finishTransition();
    void applyProgress(double progress);
    void updateBar();
    void layoutContent();
    QRect contentRect() const;

    QList<QPointer<ViewController>> m_stack;
    NavigationBar *m_bar;
    QWidget *m_content;
    EdgeDragArea *m_edge;
    QVariantAnimation *m_animation;
    QVariantAnimation *m_barAnimation;
    std::optional<Transition> m_transition;
    QPointer<ViewController> m_dragRevealed;
    double m_dragProgress = 0.0;
    double m_startProgress = 0.0;
    int m_barHeight;
    bool m_barHidden = false;
    bool m_backGestureEnabled = true;
};

} // namespace corvane
