#pragma once

#include "platform/desktopnotifier/DesktopNotifier.h"

#include <QList>

namespace corvane {

// Keeps every notice instead of showing it, for tests.
class RecordingNotifier final : public DesktopNotifier
{
public:
    RecordingNotifier() = default;
    Q_DISABLE_COPY_MOVE(RecordingNotifier)

    void show(const Notice &notice) override { notices.append(notice); }

    QList<Notice> notices;
};

} // namespace corvane
