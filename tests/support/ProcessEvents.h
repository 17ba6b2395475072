#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

// Lets queued calls, timers and socket notifiers of this thread run for a while.
inline void processEventsFor(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}
