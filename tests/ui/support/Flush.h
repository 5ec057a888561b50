#pragma once

#include <QCoreApplication>
#include <QEvent>

namespace corvane::test {

// Runs the deleteLater() calls that are due, as the event loop would.
inline void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace corvane::test
