#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace corvane {

class BarButtonItem;
class NavigationController;
class PresentationOverlay;
class TabBarController;
class TabBarItem;

// A screen: a widget with the view lifecycle the screens are written against. Its view loads
// once (viewDidLoad) before it first appears; containers and presentations tell it when it is
// about to appear or disappear and when it has. A screen shown as a top-level window gets the
// same calls from its show and hide events.
class ViewController : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ViewController)

public:
    enum class ModalPresentationStyle
    {
        Default,
        FullScreen
    };

    explicit ViewController(QWidget *parent = nullptr);
    ~ViewController() override;

    void loadViewIfNeeded();
    bool isViewLoaded() const { return m_loaded; }

    QString title() const { return m_title; }
    void setTitle(const QString &title);
    // Bar items shown by the navigation bar while this screen is on top; the screen owns them.
    BarButtonItem *leftBarButtonItem() const;
    void setLeftBarButtonItem(BarButtonItem *item);
    BarButtonItem *rightBarButtonItem() const;
    void setRightBarButtonItem(BarButtonItem *item);
    bool hidesBottomBarWhenPushed() const { return m_hidesBottomBar; }
    void setHidesBottomBarWhenPushed(bool hides) { m_hidesBottomBar = hides; }
    TabBarItem *tabBarItem();

    // The nearest screen that contains this one; a presentation is not a container.
    ViewController *parentViewController() const;
    NavigationController *navigationController() const;
    TabBarController *tabBarController() const;

    ModalPresentationStyle modalPresentationStyle() const { return m_presentationStyle; }
    void setModalPresentationStyle(ModalPresentationStyle style) { m_presentationStyle = style; }
    // Shows `screen` over this screen's outermost container and takes ownership of it; it is
    // deleted once dismissed. Returns at once; the screen slides in afterwards when animated.
    void presentViewController(ViewController *screen, bool animated,
                               std::function<void()> completion = {});
    // Dismisses what this screen presents or, when it presents nothing, the presentation that
    // holds this screen (or one of its containers). The completion runs once the screen is gone.
    void dismissViewController(bool animated, std::function<void()> completion = {});
    ViewController *presentedViewController() const { return m_presented; }
    ViewController *presentingViewController() const;

    // A layout outlet by object name: null when the layout has no such widget.
    template <typename T> QPointer<T> outlet(const QString &name) const
    {
        return QPointer<T>(findChild<T *>(name));
    }

    // Where presentations and sheets over `view` go: its outermost enclosing screen, so they
    // stay with that screen (and its window) rather than with whatever else shares the window.
    static QWidget *presentationHost(QWidget *view);

    // For containers and presentations: brackets a change of visibility.
    void beginAppearanceTransition(bool appearing, bool animated);
    void endAppearanceTransition();
    bool isAppeared() const { return m_appearance == Appearance::Appeared; }

Q_SIGNALS:
    void titleChanged();
    void barItemsChanged();

protected:
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) { Q_UNUSED(animated) }
    virtual void viewDidAppear(bool animated) { Q_UNUSED(animated) }
    virtual void viewWillDisappear(bool animated) { Q_UNUSED(animated) }
    virtual void viewDidDisappear(bool animated) { Q_UNUSED(animated) }
    // The children that appear and disappear with this screen (a container's visible screen).
    virtual QList<ViewController *> childrenForAppearance() const { return {}; }

    // Return and Enter that the focused button left alone click it.
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    friend class PresentationOverlay;
    enum class Appearance
    {
        Disappeared,
        Appearing,
        Appeared,
        Disappearing
    };

    void dismissPresented(bool animated, std::function<void()> completion);
    void restoreFocus();
    ViewController *presentationRoot();

    bool m_loaded = false;
    Appearance m_appearance = Appearance::Disappeared;
    bool m_transitionAnimated = false;
    QString m_title;
    QPointer<BarButtonItem> m_leftItem;
    QPointer<BarButtonItem> m_rightItem;
    QPointer<TabBarItem> m_tabBarItem;
    bool m_hidesBottomBar = false;
    ModalPresentationStyle m_presentationStyle = ModalPresentationStyle::Default;
    QPointer<ViewController> m_presented;
    QPointer<ViewController> m_presenting;
    QPointer<PresentationOverlay> m_overlay;
    QPointer<QWidget> m_lastFocus;
};

} // namespace corvane
