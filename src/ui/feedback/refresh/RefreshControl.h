#pragma once

#include <QHash>
#include <QWidget>

class QLabel;

namespace corvane {

// The least a pull-to-refresh control needs: the idle, pulling and refreshing states (and the
// two list-end states), a state label with a text per state, and the refresh request. Whatever
// scrolls reports how far the control is pulled out; releasing it fully pulled starts a refresh.
class RefreshControl : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RefreshControl)

public:
    enum State
    {
        Idle = 1,
        Pulling = 2,
        Refreshing = 3,
        WillRefresh = 4,
        NoMoreData = 5
    };
    Q_ENUM(State)

    ~RefreshControl() override;

    virtual State state() const;
    virtual void setState(State state);

    QLabel *stateLabel() const { return m_stateLabel; }
    void setTitle(const QString &title, State state);
    QString title(State state) const { return m_titles.value(state); }

    // How far the control is pulled out, 1.0 being its full height.
    void setPullingPercent(qreal percent);
    qreal pullingPercent() const { return m_pullingPercent; }
    // The user let go: a fully pulled control starts refreshing, any other goes back to idle.
    void releasePull();
    void beginRefreshing();
    void endRefreshing();
    bool isRefreshing() const { return m_state == Refreshing || m_state == WillRefresh; }

Q_SIGNALS:
    void refreshingRequested();
    void stateChanged(corvane::RefreshControl::State state);

protected:
    explicit RefreshControl(QWidget *parent);
    // Lays the parts out for the current size; subclasses call the base first.
    virtual void placeSubviews();
    void resizeEvent(QResizeEvent *event) override;

private:
    QLabel *m_stateLabel;
    QHash<int, QString> m_titles;
    State m_state = Idle;
    qreal m_pullingPercent = 0;
};

} // namespace corvane
