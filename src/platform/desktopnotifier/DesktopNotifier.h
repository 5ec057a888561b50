#pragma once

#include <QString>

namespace corvane {

// Tells the user something while the window may be out of sight: the desktop's notification
// bubbles, or a recorder in tests.
class DesktopNotifier
{
public:
    struct Notice
    {
        // A notice with the tag of one still on screen replaces it in place.
        QString tag;
        QString title;
        QString body;
    };

    DesktopNotifier() = default;
    virtual ~DesktopNotifier() = default;
    Q_DISABLE_COPY_MOVE(DesktopNotifier)

    virtual void show(const Notice &notice) = 0;
};

} // namespace corvane
