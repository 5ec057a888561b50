#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <chrono>
#include <functional>

namespace corvane {

// Work a launch leaves until its window is on screen: it runs a moment after the window has
// painted its first frame, or kLongestWait after the event loop started for a window that is
// never exposed (started on another workspace, say), or when something hurries it; once.
class FirstFrame final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FirstFrame)

public:
    // Seconds, on the scheduler's clock. The frame is handed to the screen and the events that
    // came meanwhile are handled before the work holds up the event loop.
    static constexpr std::chrono::milliseconds kSettle{200};
    static constexpr std::chrono::seconds kLongestWait{5};

    FirstFrame(QWidget *window, std::function<void()> work, QObject *parent = nullptr);
    ~FirstFrame() override;

    // Runs the work now unless it has run.
    void hurry();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_window;
    std::function<void()> m_work;
    bool m_painted = false;
};

} // namespace corvane
