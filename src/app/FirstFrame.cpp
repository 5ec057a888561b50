#include "app/FirstFrame.h"

#include "platform/scheduling/Scheduler.h"

#include <QEvent>

using namespace std::chrono_literals;

namespace corvane {

FirstFrame::FirstFrame(QWidget *window, std::function<void()> work, QObject *parent)
    : QObject(parent), m_window(window), m_work(std::move(work))
{
    if (m_window)
        m_window->installEventFilter(this);
    // Counted from the event loop's start: the launch before it may take long on a slow machine.
    delay(0s, this, [this] { delay(kLongestWait, this, [this] { hurry(); }); });
}

FirstFrame::~FirstFrame() = default;

void FirstFrame::hurry()
{
    if (m_window)
        m_window->removeEventFilter(this);
    if (const std::function<void()> work = std::exchange(m_work, nullptr))
        work();
}

bool FirstFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Paint && !m_painted) {
        m_painted = true;
        // Counted from the end of the painting, which this event only begins.
        delay(0s, this, [this] { delay(kSettle, this, [this] { hurry(); }); });
    }
    return QObject::eventFilter(watched, event);
}

} // namespace corvane
