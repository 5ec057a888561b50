// libcorvane-first-paint-probe.so, loaded with LD_PRELOAD into any Qt Widgets program: once the
// first window has painted (and its backing store was flushed), it prints how long that took
// since CORVANE_PROBE_T0_US (microseconds since the epoch, taken just before exec) and quits the
// application. Both programs being compared end at the same point this way, without either
// knowing about the measurement.
//
// With CORVANE_PROBE_COMMANDS=1 it does not quit but prints "ready" and then takes one command a
// line on standard input, so a script can put the program into the states it measures:
// "click NAME" (the button with that object name), "key NAME" (a key press and release, named
// as QKeySequence names it, for the window), "grab PATH" (the window as a PNG), "grab-screen
// PATH" (the whole screen, window manager and all, as a PNG), "minimise",
// "hide", "show", "count" (start counting paint events by class), "paints" (print the counts
// since "count" and stop counting), "quit".
#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMap>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

class FirstPaintProbe final : public QObject
{
public:
    explicit FirstPaintProbe(QObject *parent)
        : QObject(parent), m_commands(std::getenv("CORVANE_PROBE_COMMANDS") != nullptr)
    {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_counting && event->type() == QEvent::Paint)
            ++m_paints[watched->metaObject()->className()];
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType()) {
            m_seen = true;
            // Queued: the paint and the flush of the window's backing store finish first.
            QTimer::singleShot(0, this, &FirstPaintProbe::report);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void report()
    {
        const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
        if (const char *start = std::getenv("CORVANE_PROBE_T0_US"))
            std::fprintf(stderr, "first paint: %.1f ms\n",
                         double(now - std::strtoll(start, nullptr, 10)) / 1000.0);
        if (!m_commands) {
            QCoreApplication::quit();
            return;
        }
        QCoreApplication::instance()->removeEventFilter(this);
        auto *input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(input, &QSocketNotifier::activated, this, &FirstPaintProbe::readCommands);
        std::fputs("ready\n", stderr);
    }

    void readCommands()
    {
        char buffer[256];
        const ssize_t length = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (length <= 0) {
            QCoreApplication::quit();
            return;
        }
        m_pending.append(buffer, length);
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            run(m_pending.left(end).trimmed());
            m_pending.remove(0, end + 1);
        }
    }

    void run(const QByteArray &command)
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        if (command.startsWith("click ")) {
            const QString name = QString::fromUtf8(command.mid(6));
            for (QWidget *window : windows) {
                if (auto *button = window->findChild<QAbstractButton *>(name)) {
                    button->click();
                    return;
                }
            }
            std::fprintf(stderr, "probe: no button %s\n", qPrintable(name));
        } else if (command.startsWith("key ")) {
            const QKeyCombination key =
                QKeySequence::fromString(QString::fromUtf8(command.mid(4)))[0];
            // To the window itself: a focused child such as a list would take paging keys.
            QWidget *target = nullptr;
            for (QWidget *window : windows) {
                if (window->isVisible() && !target)
                    target = window;
            }
            if (!target)
                return;
            QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers());
            QKeyEvent release(QEvent::KeyRelease, key.key(), key.keyboardModifiers());
            QCoreApplication::sendEvent(target, &press);
            QCoreApplication::sendEvent(target, &release);
        } else if (command.startsWith("grab-screen ")) {
            if (QScreen *screen = QGuiApplication::primaryScreen())
                screen->grabWindow(0).save(QString::fromUtf8(command.mid(12)));
        } else if (command.startsWith("grab ")) {
            for (QWidget *window : windows) {
                if (window->isVisible())
                    window->grab().save(QString::fromUtf8(command.mid(5)));
            }
        } else if (command == "minimise" || command == "hide") {
            // Only the windows on screen now come back with "show".
            for (QWidget *window : windows) {
                if (!window->isVisible() || window->isMinimized())
                    continue;
                m_away.append(window);
                if (command == "minimise")
                    window->showMinimized();
                else
                    window->hide();
            }
        } else if (command == "show") {
            for (QWidget *window : std::as_const(m_away)) {
                if (window)
                    window->showNormal();
            }
            m_away.clear();
        } else if (command == "count") {
            m_paints.clear();
            m_counting = true;
            QCoreApplication::instance()->installEventFilter(this);
        } else if (command == "paints") {
            m_counting = false;
            QCoreApplication::instance()->removeEventFilter(this);
            for (auto it = m_paints.cbegin(); it != m_paints.cend(); ++it)
                std::fprintf(stderr, "paints: %s %d\n", it.key().constData(), it.value());
        } else if (command == "quit") {
            QCoreApplication::quit();
        }
    }

    const bool m_commands;
    bool m_seen = false;
    QByteArray m_pending;
    bool m_counting = false;
    QMap<QByteArray, int> m_paints;
    QList<QPointer<QWidget>> m_away;
};

void installProbe()
{
    QCoreApplication *app = QCoreApplication::instance();
    app->installEventFilter(new FirstPaintProbe(app));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
